// The simulated controller's logic: what it answers, what it records, and its faults.
#include <QTest>
#include <vector>

#include "bytes.h"
#include "controller.h"
#include "identification.h"
#include "mt_random.h"

using namespace corvane;

namespace {

std::vector<std::uint8_t> Request(std::uint8_t sequence) {
  const auto r = BuildIdentifyRequest(sequence, {0x11, 0x22, 0x33, sequence});
  return {r.begin(), r.end()};
}

Frame Block(std::uint8_t fill) {
  Frame b{};
  for (std::size_t i = 0; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(fill + i);
  return b;
}

Frame EndFrame(TransferKind kind, std::uint32_t closingValue) {
  MersenneRandom random(7);
  return BuildEndFrame(kind, closingValue, random);
}

SimResponse Feed(SimulatedController& c, const std::vector<std::uint8_t>& bytes) {
  return c.Receive(bytes.data(), bytes.size());
}
SimResponse Feed(SimulatedController& c, const Frame& unit) { return c.Receive(unit.data(), unit.size()); }

// The single frame of an answer that went out in one write.
std::vector<std::uint8_t> OnlyWrite(const SimResponse& r) {
  if (r.writes.size() != 1) return {};
  return r.writes[0].bytes;
}

bool Valid(const std::vector<std::uint8_t>& frame) {
  return CheckFrame(frame.data(), static_cast<std::uint16_t>(frame.size()));
}

// Connected controller, ready for blocks.
SimulatedController Connected(SimConfig config = {}) {
  SimulatedController c(config);
  Feed(c, Request(1));
  return c;
}

}  // namespace

class ControllerTest : public QObject {
  Q_OBJECT

 private slots:
  void identifyReplyCarriesTheConfiguredRecord() {
    SimConfig config;
    config.typeWord = 0x8001;
    config.bootloaderVersion = 255;
    config.firmwareVersion = 0x0102;
    config.dataVersion = 3;
    config.programCheck = 1;
    config.dataCheck = 0;
    config.recordTail.fill(0x5A);
    SimulatedController c(config);

    const auto reply = OnlyWrite(Feed(c, Request(4)));
    QCOMPARE(reply.size(), std::size_t{64});
    QVERIFY(Valid(reply));
    QCOMPARE(FrameTypeCode(reply.data()), std::uint16_t{0xDA01});
    const auto record = DecodeIdentifyReply(reply.data());
    QVERIFY(record);
    QCOMPARE(record->TypeWord(), std::uint16_t{0x8001});
    QCOMPARE(record->BootloaderVersion(), std::uint8_t{255});
    QCOMPARE(record->InstalledFirmwareVersion(), std::uint16_t{258});
    QCOMPARE(record->DataMemoryVersion(), std::uint16_t{3});
    QCOMPARE(record->ProgramMemoryCheck(), std::uint8_t{1});
    QCOMPARE(record->DataMemoryCheck(), std::uint8_t{0});
    for (std::size_t i = 9; i < 32; ++i) QCOMPARE(record->bytes[i], std::uint8_t{0x5A});

    // Fresh seeds each time: the same record never goes out the same way twice.
    const auto again = OnlyWrite(Feed(c, Request(5)));
    QVERIFY(DecodeIdentifyReply(again.data()));
    const auto seeds = again.begin() + kSeedOffset;
    QVERIFY(!std::equal(seeds, seeds + kSeedSize, reply.begin() + kSeedOffset));
    QCOMPARE(c.Observations().identifyRequests.size(), std::size_t{2});
    QCOMPARE(ReadBe16(&c.Observations().identifyRequests[1][kSequenceOffset]), std::uint16_t{5});
  }

  void requestsAreFramedAcrossAndWithinReads() {
    SimulatedController c;
    const auto request = Request(9);
    // Arriving in two pieces: answered once whole.
    QVERIFY(Feed(c, {request.begin(), request.begin() + 5}).writes.empty());
    QCOMPARE(Feed(c, {request.begin() + 5, request.end()}).writes.size(), std::size_t{1});
    // A request and a block in one read: two answers.
    std::vector<std::uint8_t> both = Request(10);
    const Frame block = Block(1);
    both.insert(both.end(), block.begin(), block.end());
    const auto r = Feed(c, both);
    QCOMPARE(r.writes.size(), std::size_t{2});
    QCOMPARE(FrameTypeCode(r.writes[1].bytes.data()), std::uint16_t{0xDA04});
    QCOMPARE(c.Observations().blocks.size(), std::size_t{1});
    // Bytes ahead of a request that make no whole unit are a stale fragment.
    std::vector<std::uint8_t> stale(20, 0x77);
    const auto request11 = Request(11);
    stale.insert(stale.end(), request11.begin(), request11.end());
    QCOMPARE(Feed(c, stale).writes.size(), std::size_t{1});
    QCOMPARE(c.Observations().droppedBytes, std::size_t{20});
    QVERIFY(c.Observations().blocks.empty());
  }

  void damagedRepliesOnDemand() {
    SimConfig config;
    config.faults.badRecordCrc = true;
    SimulatedController recordFault(config);
    const auto reply = OnlyWrite(Feed(recordFault, Request(1)));
    QVERIFY(Valid(reply));
    QVERIFY(!DecodeIdentifyReply(reply.data()));

    config = {};
    config.faults.badFrameCrc = true;
    SimulatedController frameFault(config);
    QVERIFY(!Valid(OnlyWrite(Feed(frameFault, Request(1)))));
    QVERIFY(!Valid(OnlyWrite(Feed(frameFault, Block(0)))));

    config = {};
    config.faults.garbage = true;
    SimulatedController garbage(config);
    const auto junk = OnlyWrite(Feed(garbage, Request(1)));
    QCOMPARE(junk.size(), std::size_t{64});
    QVERIFY(!Valid(junk));
  }

  void blockRequestsPaceTheTransfer() {
    SimConfig config;
    config.blockIntervalMs = 1000;
    SimulatedController c = Connected(config);
    for (std::uint8_t k = 0; k < 3; ++k) {
      const auto answer = OnlyWrite(Feed(c, Block(k)));
      QCOMPARE(answer.size(), std::size_t{16});
      QVERIFY(Valid(answer));
      QCOMPARE(FrameTypeCode(answer.data()), std::uint16_t{0xDA04});
      QCOMPARE(ReadBe16(answer.data() + kIntervalOffset), std::uint16_t{1000});
    }
    const auto& seen = c.Observations();
    QCOMPARE(seen.blocks.size(), std::size_t{3});
    QVERIFY(seen.blocks[2] == Block(2));

    config.replyLength = 64;
    c.SetConfig(config);
    QCOMPARE(OnlyWrite(Feed(c, Block(3))).size(), std::size_t{64});
  }

  void equalUnitsAreResendsOnlyAfterALostAnswer() {
    // Equal blocks after intact answers are file content (zero padding), stored each time.
    SimulatedController padded = Connected();
    for (int i = 0; i < 3; ++i) QCOMPARE(Feed(padded, Block(0)).writes.size(), std::size_t{1});
    QCOMPARE(padded.Observations().blocks.size(), std::size_t{3});
    QCOMPARE(padded.Observations().resends, 0u);

    // The answer to block 1 is damaged: the host repeats it, and the repeat is answered again.
    SimConfig config;
    SimulatedController c = Connected(config);
    Feed(c, Block(0));
    config.faults.badFrameCrc = true;
    c.SetConfig(config);
    Feed(c, Block(1));
    config.faults.badFrameCrc = false;
    c.SetConfig(config);
    QVERIFY(Valid(OnlyWrite(Feed(c, Block(1)))));
    QCOMPARE(c.Observations().resends, 1u);
    QCOMPARE(c.Observations().blocks.size(), std::size_t{2});

    // Strict rule: every equal unit is a resend.
    config.resendRule = ResendRule::kAlways;
    c.SetConfig(config);
    QCOMPARE(Feed(c, Block(1)).writes.size(), std::size_t{1});
    QCOMPARE(c.Observations().resends, 2u);
    QCOMPARE(c.Observations().blocks.size(), std::size_t{2});

    // A new identification starts a new record.
    Feed(c, Request(2));
    QVERIFY(c.Observations().blocks.empty());
    QCOMPARE(c.Observations().resends, 0u);
  }

  void endFramesAreAnsweredWithTheVerdict() {
    SimConfig config;
    config.verdict = 1;
    SimulatedController c = Connected(config);
    Feed(c, Block(0));
    const auto r = Feed(c, EndFrame(TransferKind::kFirmware, 0x11223344));
    QVERIFY(r.transferEnded);
    const auto result = OnlyWrite(r);
    QVERIFY(Valid(result));
    QCOMPARE(FrameTypeCode(result.data()), std::uint16_t{0xDA07});
    QCOMPARE(result[kVerdictOffset], std::uint8_t{1});
    const auto& seen = c.Observations();
    QVERIFY(seen.endFrame);
    QCOMPARE(seen.endFrame->type, std::uint16_t{0xDA06});
    QVERIFY(seen.endFrame->crcOk);
    QCOMPARE(seen.endFrame->closingValue, 0x11223344u);
    QCOMPARE(seen.blocks.size(), std::size_t{1});

    config.verdict = 0xFF;
    SimulatedController map = Connected(config);
    const auto mapResult = OnlyWrite(Feed(map, EndFrame(TransferKind::kDataMap, 0xA0B0C0D0)));
    QCOMPARE(FrameTypeCode(mapResult.data()), std::uint16_t{0xDA09});
    QCOMPARE(mapResult[kVerdictOffset], std::uint8_t{0xFF});
    QCOMPARE(map.Observations().endFrame->closingValue, 0xA0B0C0D0u);
  }

  void damagedEndFrames() {
    Frame damaged = EndFrame(TransferKind::kFirmware, 5);
    damaged[20] ^= 0x01;
    // Without a known block count a damaged end frame cannot be told from file data.
    SimulatedController guess = Connected();
    QCOMPARE(FrameTypeCode(OnlyWrite(Feed(guess, damaged)).data()), std::uint16_t{0xDA04});
    QCOMPARE(guess.Observations().blocks.size(), std::size_t{1});
    QCOMPARE(guess.Observations().badCrcFrames, 1u);

    // With it, the unit after the blocks is the end frame; a damaged one goes unanswered.
    SimConfig config;
    config.expectedBlocks = 1;
    SimulatedController known = Connected(config);
    Feed(known, Block(0));
    QVERIFY(Feed(known, damaged).writes.empty());
    QVERIFY(known.Observations().endFrame);
    QVERIFY(!known.Observations().endFrame->crcOk);
    QCOMPARE(known.Observations().badCrcFrames, 1u);
    // The host repeats it intact; that one is answered.
    const auto r = Feed(known, EndFrame(TransferKind::kFirmware, 5));
    QVERIFY(r.transferEnded);
    QCOMPARE(FrameTypeCode(OnlyWrite(r).data()), std::uint16_t{0xDA07});
    QCOMPARE(known.Observations().endFrames, 2u);
  }

  void timeoutUpdateAfterTheChosenBlock() {
    SimConfig config;
    config.timeoutUpdate = TimeoutUpdatePlan{1, 5000, 300};
    SimulatedController c = Connected(config);
    QCOMPARE(Feed(c, Block(0)).writes.size(), std::size_t{1});
    const auto r = Feed(c, Block(1));
    QCOMPARE(r.writes.size(), std::size_t{2});
    const auto& update = r.writes[0].bytes;
    QCOMPARE(update.size(), std::size_t{20});
    QVERIFY(Valid(update));
    QCOMPARE(FrameTypeCode(update.data()), std::uint16_t{0xDA05});
    QCOMPARE(ReadBe16(update.data() + kTimeoutOffset), std::uint16_t{5000});
    QCOMPARE(r.writes[0].pauseBeforeMs, std::uint16_t{0});
    QCOMPARE(FrameTypeCode(r.writes[1].bytes.data()), std::uint16_t{0xDA04});
    QCOMPARE(r.writes[1].pauseBeforeMs, std::uint16_t{300});
  }

  void splitAndDoubledWrites() {
    SimConfig config;
    config.faults.splitReply = true;
    SimulatedController split(config);
    const auto r = Feed(split, Request(1));
    QCOMPARE(r.writes.size(), std::size_t{2});
    QCOMPARE(r.writes[1].pauseBeforeMs, std::uint16_t{30});
    std::vector<std::uint8_t> joined = r.writes[0].bytes;
    joined.insert(joined.end(), r.writes[1].bytes.begin(), r.writes[1].bytes.end());
    QCOMPARE(joined.size(), std::size_t{64});
    QVERIFY(DecodeIdentifyReply(joined.data()));
    // The host never saw it whole, so the next equal block is its repeat.
    Feed(split, Block(0));
    Feed(split, Block(0));
    QCOMPARE(split.Observations().resends, 1u);

    config = {};
    config.faults.doubleFrame = true;
    config.timeoutUpdate = TimeoutUpdatePlan{0, 700, 0};
    SimulatedController twice(config);
    const auto reply = OnlyWrite(Feed(twice, Request(1)));
    QCOMPARE(reply.size(), std::size_t{128});
    QVERIFY(std::equal(reply.begin(), reply.begin() + 64, reply.begin() + 64));
    const auto pair = OnlyWrite(Feed(twice, Block(0)));
    QCOMPARE(pair.size(), std::size_t{36});
    QCOMPARE(FrameTypeCode(pair.data()), std::uint16_t{0xDA05});
    QCOMPARE(FrameTypeCode(pair.data() + 20), std::uint16_t{0xDA04});
  }

  void silenceAndLateAnswers() {
    SimConfig config;
    config.faults.ignoredIdentifies = 2;
    SimulatedController late(config);
    QVERIFY(Feed(late, Request(1)).writes.empty());
    QVERIFY(Feed(late, Request(2)).writes.empty());
    QCOMPARE(OnlyWrite(Feed(late, Request(3))).size(), std::size_t{64});

    config = {};
    config.faults.silent = true;
    SimulatedController mute = Connected(config);
    QVERIFY(Feed(mute, Block(0)).writes.empty());
    QCOMPARE(mute.Observations().identifyRequests.size(), std::size_t{1});
    QCOMPARE(mute.Observations().blocks.size(), std::size_t{1});

    config = {};
    config.faults.silentAfterBlocks = 2;
    SimulatedController hangs = Connected(config);
    QCOMPARE(Feed(hangs, Block(0)).writes.size(), std::size_t{1});
    QVERIFY(Feed(hangs, Block(1)).writes.empty());
    QVERIFY(Feed(hangs, Block(1)).writes.empty());
    QCOMPARE(hangs.Observations().resends, 1u);
    QCOMPARE(hangs.Observations().blocks.size(), std::size_t{2});
    QVERIFY(Feed(hangs, Request(2)).writes.empty());  // stays hung
    hangs.SetConfig(SimConfig{});
    QCOMPARE(Feed(hangs, Request(3)).writes.size(), std::size_t{1});
  }

  void vanishing() {
    SimConfig config;
    config.faults.vanishAfterBlocks = 2;
    SimulatedController c = Connected(config);
    QVERIFY(!Feed(c, Block(0)).vanish);
    const auto r = Feed(c, Block(1));
    QVERIFY(r.vanish);
    QVERIFY(r.writes.empty());
    QCOMPARE(c.Observations().blocks.size(), std::size_t{2});
    const auto after = Feed(c, Request(2));
    QVERIFY(!after.vanish && after.writes.empty());

    config.faults.vanishAfterBlocks = 0;
    SimulatedController atOnce(config);
    const std::uint8_t first = 0xDA;
    QVERIFY(atOnce.Receive(&first, 1).vanish);
  }

  void fragmentsAreDropped() {
    SimulatedController c;
    auto request = Request(1);
    request[kIdentifyCrcOffset + 3] ^= 0x01;
    QVERIFY(Feed(c, request).writes.empty());
    QVERIFY(c.HasPartialInput());
    c.DropPartialInput();
    QCOMPARE(c.Observations().badCrcFrames, 1u);
    QCOMPARE(c.Observations().droppedBytes, std::size_t{12});
    QCOMPARE(Feed(c, Request(2)).writes.size(), std::size_t{1});
  }
};

QTEST_GUILESS_MAIN(ControllerTest)
#include "controller_test.moc"
