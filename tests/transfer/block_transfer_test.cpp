#include <QtTest>

#include "device_frames.h"
#include "scrambler.h"
#include "transfer_rig.h"

using namespace corvane;
using namespace corvane::testing;

namespace {

std::vector<std::uint8_t> Block(const std::vector<std::uint8_t>& image, std::size_t k) {
  return {image.begin() + static_cast<long>(k * 64), image.begin() + static_cast<long>(k * 64 + 64)};
}

}  // namespace

class BlockTransferTest : public QObject {
  Q_OBJECT

 private slots:
  void dataMapOfFourBlocksEndsWithDataMapEnd() {
    TransferRig rig;
    const auto image = TransferRig::Image(4);
    rig.transfer.Begin({TransferKind::kDataMap, 0x01020304, Share(image)});
    QCOMPARE(rig.view.outcomes, std::vector<Outcome>{Outcome::kTransferStarted});
    QCOMPARE(rig.link.sent.size(), std::size_t{1});
    QCOMPARE(rig.LastSent(), Block(image, 0));
    QCOMPARE(rig.timer2.Interval(), 40u);

    for (std::size_t k = 1; k < 4; ++k) {
      rig.Request(40);
      QCOMPARE(rig.LastSent(), Block(image, k));
    }
    rig.Request(40);
    QCOMPARE(rig.link.sent.size(), std::size_t{5});
    const auto& end = rig.LastSent();
    QCOMPARE(end.size(), std::size_t{64});
    QCOMPARE(FrameTypeCode(end.data()), std::uint16_t{0xDA08});
    QVERIFY(CheckFrame(end.data(), 64));
    QCOMPARE(rig.timer2.Interval(), 100u);
    QCOMPARE(rig.view.gaugeHistory, (std::vector<int>{0, 25, 50, 75, 100}));
    QCOMPARE(rig.transfer.NextBlock(), 5u);
  }

  void firmwareOfEightBlocksMovesTheGauge() {
    TransferRig rig;
    const auto image = TransferRig::Image(8);
    rig.transfer.Begin({TransferKind::kFirmware, 7, Share(image)});
    for (int k = 0; k < 8; ++k) rig.Request(40);
    QCOMPARE(rig.view.gaugeHistory, (std::vector<int>{0, 12, 25, 37, 50, 62, 75, 87, 100}));
    QCOMPARE(rig.link.sent.size(), std::size_t{9});
    for (std::size_t k = 0; k < 8; ++k) QCOMPARE(rig.link.sent[k], Block(image, k));
    QCOMPARE(rig.LastSentType(), std::uint16_t{0xDA06});
    // The last step shows 100 first, then sends the end frame.
    const int gauge100 = rig.log.Find("view.gauge:100");
    QVERIFY(gauge100 >= 0);
    QCOMPARE(rig.log.Find("link.send:64", gauge100), static_cast<int>(rig.log.events.size()) - 1);
  }

  void gaugeIsTheTruncatedPercentage_data() {
    QTest::addColumn<int>("blocks");
    QTest::newRow("3") << 3;
    QTest::newRow("49") << 49;
    QTest::newRow("100") << 100;
  }
  void gaugeIsTheTruncatedPercentage() {
    QFETCH(int, blocks);
    TransferRig rig;
    const auto image = TransferRig::Image(static_cast<std::size_t>(blocks));
    rig.transfer.Begin({TransferKind::kFirmware, 1, Share(image)});
    for (int k = 0; k < blocks; ++k) rig.Request(40);
    std::vector<int> expected;
    for (int k = 0; k <= blocks; ++k) expected.push_back(k * 100 / blocks);
    QCOMPARE(rig.view.gaugeHistory, expected);
  }

  void requestAfterTheEndFrameSendsNothingAndKeepsTheFullInterval() {
    TransferRig rig;
    const auto image = TransferRig::Image(2);
    rig.transfer.Begin({TransferKind::kFirmware, 7, Share(image)});
    rig.Request(40);
    rig.Request(40);  // end frame
    const auto endFrame = rig.LastSent();
    QCOMPARE(FrameTypeCode(endFrame.data()), std::uint16_t{0xDA06});

    rig.Request(3000);
    rig.Request(3000);
    QCOMPARE(rig.link.sent.size(), std::size_t{3});
    QCOMPARE(rig.view.gauge, 100);
    QVERIFY(rig.timer2.IsActive());
    QCOMPARE(rig.timer2.Interval(), 3000u);
    QCOMPARE(rig.transfer.NextBlock(), 5u);

    // Timer2 expires: the end frame is what gets repeated.
    rig.sender.ResendRequest();
    QCOMPARE(rig.link.sent.size(), std::size_t{4});
    QCOMPARE(rig.LastSent(), endFrame);
  }

  void requestedIntervalIsTruncatedForTheNextBlock_data() {
    QTest::addColumn<int>("interval");
    QTest::addColumn<int>("rearmed");
    QTest::newRow("300") << 300 << 44;
    QTest::newRow("500 (01 F4)") << 500 << 244;
    QTest::newRow("256: low byte 0, the whole interval") << 256 << 256;
    QTest::newRow("512: low byte 0, the whole interval") << 512 << 512;
    QTest::newRow("1000") << 1000 << 232;
    QTest::newRow("40") << 40 << 40;
  }
  void requestedIntervalIsTruncatedForTheNextBlock() {
    QFETCH(int, interval);
    QFETCH(int, rearmed);
    TransferRig rig;
    const auto image = TransferRig::Image(4);
    rig.transfer.Begin({TransferKind::kDataMap, 1, Share(image)});
    rig.log.Clear();
    rig.Request(static_cast<std::uint16_t>(interval));
    // Timer2 first takes the full interval, then the send re-arms it with the low byte.
    const int full = rig.log.Find("timer2.start:" + std::to_string(interval));
    QVERIFY(full >= 0);
    QVERIFY(rig.log.Find("timer2.start:" + std::to_string(rearmed), full + 1) > full);
    QCOMPARE(rig.timer2.Interval(), static_cast<std::uint32_t>(rearmed));
    QCOMPARE(rig.timer2.IsActive(), rearmed != 0);
    QCOMPARE(rig.LastSent(), Block(image, 1));
  }

  void timeoutUpdateRestartsTimer2AndKeepsRetryCount() {
    TransferRig rig;
    const auto image = TransferRig::Image(4);
    rig.transfer.Begin({TransferKind::kFirmware, 1, Share(image)});
    rig.sender.ResendRequest();
    rig.sender.ResendRequest();
    QCOMPARE(rig.sender.RetryCount(), 2u);
    const auto sentBefore = rig.link.sent.size();

    rig.transfer.HandleTimeoutUpdate(TransferRig::TimeoutUpdate(5000).data());
    QVERIFY(rig.timer2.IsActive());
    QCOMPARE(rig.timer2.Interval(), 5000u);
    QCOMPARE(rig.sender.RetryCount(), 2u);
    QCOMPARE(rig.transfer.NextBlock(), 1u);
    QCOMPARE(rig.link.sent.size(), sentBefore);
  }

  void blockRequestWithNothingLoadedSendsNothing() {
    TransferRig rig;
    rig.Request(40);
    rig.Request(40);
    QVERIFY(rig.link.sent.empty());
    QVERIFY(rig.view.gaugeHistory.empty());
    QCOMPARE(rig.timer2.Interval(), 40u);
  }

  void endFrameCarriesTheClosingValueMostSignificantByteFirst_data() {
    QTest::addColumn<bool>("firmware");
    QTest::newRow("firmware") << true;
    QTest::newRow("data map") << false;
  }
  void endFrameCarriesTheClosingValueMostSignificantByteFirst() {
    QFETCH(bool, firmware);
    TransferRig rig;
    rig.random.next = 0x5A;
    const auto image = TransferRig::Image(1);
    // Header bytes 44 33 22 11, i.e. the little-endian value 0x11223344.
    if (firmware) {
      rig.transfer.Begin({TransferKind::kFirmware, 0x11223344, Share(image)});
    } else {
      rig.transfer.Begin({TransferKind::kDataMap, 0x11223344, Share(image)});
    }
    rig.Request(40);
    const auto& end = rig.LastSent();
    QCOMPARE(FrameTypeCode(end.data()), std::uint16_t(firmware ? 0xDA06 : 0xDA08));
    QCOMPARE(ClosingValueOf(end.data()), 0x11223344u);
    QCOMPARE(end[kCrcOffset - 1], std::uint8_t{0});
    QVERIFY(CheckFrame(end.data(), 64));
    // Random bytes in frame order: the sequence field and the seeds, then the bytes after the
    // closing value.
    QCOMPARE(end[kSequenceOffset], std::uint8_t{0x5A});
    QCOMPARE(end[kSeedOffset + kSeedSize - 1], std::uint8_t{0x5A + 10});
    QCOMPARE(end[kClosingOffset + 4], std::uint8_t{0x5A + 11});
  }

  void firmwareVerdict_data() {
    QTest::addColumn<int>("verdict");
    QTest::newRow("0") << 0;
    QTest::newRow("1 success") << 1;
    QTest::newRow("2") << 2;
    QTest::newRow("0xFF") << 0xFF;
  }
  void firmwareVerdict() {
    QFETCH(int, verdict);
    const bool success = verdict == 1;
    TransferRig rig;
    const auto image = TransferRig::Image(4);
    rig.transfer.Begin({TransferKind::kFirmware, 1, Share(image)});
    rig.RunToEndFrame();
    rig.view.outcomes.clear();
    bool flagRaisedWhileBoxOpen = false;
    rig.view.onBox = [&] {
      flagRaisedWhileBoxOpen = success ? rig.notices.ReadySoundPending() : rig.notices.FailedSoundPending();
    };

    const Frame result = TransferRig::Verdict(kFirmwareResult, static_cast<std::uint8_t>(verdict));
    rig.transfer.HandleResult(TransferKind::kFirmware, result.data());

    QVERIFY(!rig.link.open);
    QCOMPARE(rig.view.status, std::string("device disconnected."));
    QVERIFY(!rig.timer2.IsActive());
    QCOMPARE(rig.view.boxes.size(), std::size_t{1});
    const BoxCall& box = rig.view.boxes[0];
    QCOMPARE(box.text, std::string(success ? "Firmware update completed successfully!" : "Firmware update failure"));
    QCOMPARE(box.caption, std::string(success ? "\u041E\u041A" : "ERROR"));
    QVERIFY(box.buttons == BoxButtons::kOk);
    QVERIFY(flagRaisedWhileBoxOpen);
    QVERIFY(rig.log.Find("link.close") < rig.log.Find("view.box:" + box.text));
    QCOMPARE(rig.view.gaugeHistory.back(), 0);
    QVERIFY(rig.log.Find("view.gauge:0", rig.log.Find("view.box:" + box.text)) > 0);
    QCOMPARE(rig.view.outcomes, std::vector<Outcome>{success ? Outcome::kUpdateSucceeded : Outcome::kUpdateFailed});

    // One verdict, one sound, on the next tick only.
    rig.notices.Tick();
    rig.notices.Tick();
    QCOMPARE(rig.sound.played,
             std::vector<std::string>{success ? "voice//update_is_ready.wav" : "voice//update_failed.wav"});
  }

  void dataMapVerdict_data() { firmwareVerdict_data(); }
  void dataMapVerdict() {
    QFETCH(int, verdict);
    const bool success = verdict == 1;
    TransferRig rig;
    const auto image = TransferRig::Image(4);
    rig.transfer.Begin({TransferKind::kDataMap, 1, Share(image)});
    rig.RunToEndFrame();

    const Frame result = TransferRig::Verdict(kDataMapResult, static_cast<std::uint8_t>(verdict));
    rig.transfer.HandleResult(TransferKind::kDataMap, result.data());

    QVERIFY(!rig.link.open);
    QCOMPARE(rig.view.boxes.size(), std::size_t{1});
    const BoxCall& box = rig.view.boxes[0];
    QCOMPARE(box.text, std::string(success ? "Обновление карты данных успешно завершено!"
                                           : "Провал обновления  карты данных , сбросьте устройство "
                                             "(откл./вкл. питание) и попробуйте снова!"));
    QCOMPARE(box.caption, std::string(success ? "ОК" : "ERROR"));
    QVERIFY(box.buttons == BoxButtons::kOk);
    QCOMPARE(rig.view.gaugeHistory.back(), 0);
    QCOMPARE(rig.view.outcomes.back(), success ? Outcome::kUpdateSucceeded : Outcome::kUpdateFailed);
    QVERIFY(!rig.notices.ReadySoundPending() && !rig.notices.FailedSoundPending());
    rig.notices.Tick();
    QVERIFY(rig.sound.played.empty());
  }

  // The texts and the sound follow the frame's kind; a verdict of the other kind than the transfer
  // cannot be its success.
  void firmwareVerdictDuringADataMapTransferUsesTheFirmwareTexts() {
    TransferRig rig;
    const auto image = TransferRig::Image(4);
    rig.transfer.Begin({TransferKind::kDataMap, 1, Share(image)});
    rig.RunToEndFrame();
    rig.transfer.HandleResult(TransferKind::kFirmware, TransferRig::Verdict(kFirmwareResult, 1).data());
    QCOMPARE(rig.view.boxes.at(0).text, std::string("Firmware update failure"));
    QCOMPARE(rig.view.outcomes.back(), Outcome::kUpdateFailed);
    rig.notices.Tick();
    QCOMPARE(rig.sound.played, std::vector<std::string>{"voice//update_failed.wav"});
  }

  // Once a transfer has its verdict, or its connection has ended, BlockRequests send nothing of
  // it (no block, no end frame), and a later "success" is a failure.
  void requestsAfterTheTransferEndedSendNothing_data() {
    QTest::addColumn<int>("end");
    QTest::newRow("after a verdict") << 0;
    QTest::newRow("after a disconnect") << 1;
    QTest::newRow("after a new connection") << 2;
  }
  void requestsAfterTheTransferEndedSendNothing() {
    QFETCH(int, end);
    TransferRig rig;
    const auto image = TransferRig::Image(3);
    rig.transfer.Begin({TransferKind::kFirmware, 1, Share(image)});
    rig.Request(40);
    if (end == 0) rig.transfer.HandleResult(TransferKind::kFirmware, TransferRig::Verdict(kFirmwareResult, 0).data());
    if (end == 1) rig.disconnector.ResetToDisconnected();
    if (end == 2) rig.transfer.Abandon();
    QVERIFY(!rig.transfer.Live());
    rig.link.open = true;  // connected again
    const std::size_t sent = rig.link.sent.size();
    for (int i = 0; i < 4; ++i) rig.Request(40);
    QCOMPARE(rig.link.sent.size(), sent);
    rig.view.boxes.clear();
    rig.view.outcomes.clear();
    rig.transfer.HandleResult(TransferKind::kFirmware, TransferRig::Verdict(kFirmwareResult, 1).data());
    QCOMPARE(rig.view.boxes.at(0).text, std::string("Firmware update failure"));
    QCOMPARE(rig.view.outcomes, std::vector<Outcome>{Outcome::kUpdateFailed});
  }

  // Both update buttons are disabled while a transfer runs: a second file's block 0 would land in
  // the middle of this image.
  void updateButtonsAreDisabledWhenATransferBegins() {
    TransferRig rig;
    rig.view.SetEnabled(Control::kUpdateFirmware, true);
    rig.view.SetEnabled(Control::kWriteDataMap, true);
    rig.log.Clear();
    rig.transfer.Begin({TransferKind::kFirmware, 1, Share(TransferRig::Image(2))});
    QVERIFY(!rig.view.firmwareEnabled && !rig.view.dataMapEnabled);
    QVERIFY(rig.log.Find("view.disable:firmware") < rig.log.Find("link.send:64"));
  }

  // A "success" before this transfer's end frame went out cannot be true: before any transfer,
  // after 2 of 12 blocks, and a second verdict after the first.
  void earlySuccessIsAFailure() {
    for (int blocksSent : {-1, 2, 13}) {
      TransferRig rig;
      const auto image = TransferRig::Image(12);
      if (blocksSent >= 0) rig.transfer.Begin({TransferKind::kFirmware, 1, Share(image)});
      for (int i = 1; i < blocksSent; ++i) rig.Request(40);
      if (blocksSent == 13) rig.transfer.HandleResult(TransferKind::kFirmware, TransferRig::Verdict(kFirmwareResult, 1).data());
      rig.view.boxes.clear();
      rig.view.outcomes.clear();
      rig.transfer.HandleResult(TransferKind::kFirmware, TransferRig::Verdict(kFirmwareResult, 1).data());
      QCOMPARE(rig.view.boxes.at(0).text, std::string("Firmware update failure"));
      QCOMPARE(rig.view.outcomes, std::vector<Outcome>{Outcome::kUpdateFailed});
      rig.notices.Tick();
      QCOMPARE(rig.sound.played.back(), std::string("voice//update_failed.wav"));
    }
  }

  void soundFlagsAreClearedBeforeTheyPlay() {
    TransferRig rig;
    // Both flags at one tick: ready first, then failed.
    rig.notices.RaiseReady();
    rig.notices.RaiseFailed();
    rig.notices.Tick();
    QCOMPARE(rig.sound.played, (std::vector<std::string>{"voice//update_is_ready.wav", "voice//update_failed.wav"}));
    QVERIFY(!rig.notices.ReadySoundPending() && !rig.notices.FailedSoundPending());
    rig.notices.Tick();
    QCOMPARE(rig.sound.played.size(), std::size_t{2});
    // A later verdict plays again.
    rig.notices.RaiseReady();
    rig.notices.Tick();
    QCOMPARE(rig.sound.played.size(), std::size_t{3});
    QCOMPARE(rig.sound.played.back(), std::string("voice//update_is_ready.wav"));
  }

  void newTransferRestartsFromBlockZero() {
    TransferRig rig;
    const auto first = TransferRig::Image(8);
    rig.transfer.Begin({TransferKind::kFirmware, 1, Share(first)});
    rig.Request(40);
    rig.Request(40);
    auto second = TransferRig::Image(4);
    second[0] = 0xEE;
    rig.transfer.Begin({TransferKind::kDataMap, 2, Share(second)});
    QCOMPARE(rig.LastSent(), Block(second, 0));
    QCOMPARE(rig.transfer.BlockCount(), 4u);
    QCOMPARE(rig.transfer.NextBlock(), 1u);
    QVERIFY(rig.transfer.Kind() == TransferKind::kDataMap);
    QCOMPARE(rig.view.gauge, 0);
  }
};

QTEST_GUILESS_MAIN(BlockTransferTest)
#include "block_transfer_test.moc"
