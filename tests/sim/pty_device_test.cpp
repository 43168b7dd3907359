// The simulated controller on a real pseudo-terminal, driven from the host side with plain POSIX.
#include <QTest>
#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <vector>

#include "host_port.h"
#include "identification.h"
#include "mt_random.h"
#include "pty_device.h"

using namespace corvane;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using corvane::testing::HostPort;
using corvane::testing::kDeadline;

namespace {

IdentifyRequestFrame Request(std::uint8_t sequence) { return BuildIdentifyRequest(sequence, {1, 2, 3, 4}); }

Frame Block(std::uint8_t k) {
  Frame b{};
  for (auto& x : b) x = static_cast<std::uint8_t>(k * 7 + 3);
  b[0] = k;
  return b;
}

std::uint16_t TypeOf(const std::vector<std::uint8_t>& frame) {
  return frame.size() >= 2 ? FrameTypeCode(frame.data()) : 0;
}

// Pseudo-terminal masters this process holds open.
int OpenMasters() {
  int count = 0;
  DIR* fds = opendir("/proc/self/fd");
  while (const dirent* entry = fds ? readdir(fds) : nullptr) {
    char target[64];
    const std::string link = std::string("/proc/self/fd/") + entry->d_name;
    const ssize_t n = readlink(link.c_str(), target, sizeof target);
    if (n > 0 && std::string(target, static_cast<std::size_t>(n)) == "/dev/ptmx") ++count;
  }
  if (fds) closedir(fds);
  return count;
}

}  // namespace

class PtyDeviceTest : public QObject {
  Q_OBJECT

 private slots:
  void identifiesItselfAndSurvivesAReopen() {
    SimConfig config;
    config.typeWord = 0x000C;
    config.firmwareVersion = 77;
    PtyController device(config);
    std::string error;
    QVERIFY2(device.Start(&error), error.c_str());
    QVERIFY(device.SlavePath().rfind("/dev/", 0) == 0);

    for (std::uint8_t round = 1; round <= 2; ++round) {
      HostPort host(device.SlavePath());
      QVERIFY(host.IsOpen());
      QVERIFY(host.Write(Request(round)));
      const auto reply = host.Read(64);
      QCOMPARE(reply.size(), std::size_t{64});
      const auto record = DecodeIdentifyReply(reply.data());
      QVERIFY(record);
      QCOMPARE(record->TypeWord(), std::uint16_t{0x000C});
      QCOMPARE(record->InstalledFirmwareVersion(), std::uint16_t{77});
    }
    QVERIFY(device.WaitFor([](const SimObservations& s) { return s.identifyRequests.size() == 2; }, kDeadline));
  }

  void transfersBlocksAndReportsTheEnd() {
    PtyController device;
    std::promise<SimObservations> ended;
    device.OnTransferEnd([&](const SimObservations& seen) { ended.set_value(seen); });
    QVERIFY(device.Start());
    HostPort host(device.SlavePath());
    QVERIFY(host.Write(Request(1)));
    QCOMPARE(host.Read(64).size(), std::size_t{64});
    for (std::uint8_t k = 0; k < 3; ++k) {
      QVERIFY(host.Write(Block(k)));
      QCOMPARE(TypeOf(host.Read(16)), std::uint16_t{0xDA04});
    }
    MersenneRandom random(3);
    QVERIFY(host.Write(BuildEndFrame(TransferKind::kDataMap, 0xCAFEF00D, random)));
    const auto result = host.Read(16);
    QCOMPARE(TypeOf(result), std::uint16_t{0xDA09});
    QCOMPARE(result[kVerdictOffset], std::uint8_t{1});

    auto future = ended.get_future();
    QVERIFY(future.wait_for(kDeadline) == std::future_status::ready);
    const SimObservations seen = future.get();
    QCOMPARE(seen.blocks.size(), std::size_t{3});
    QVERIFY(seen.blocks[1] == Block(1));
    QCOMPARE(seen.endFrame->closingValue, 0xCAFEF00Du);
  }

  // At 115200 baud each answer waits for the line: on the controller's own clock, nothing is
  // handed to the host before what it answers could have crossed the wire after it was read.
  void answersAtTheLinesPace() {
    SimConfig config;
    config.lineBaud = 115200;
    PtyController device(config);
    QVERIFY(device.Start());
    HostPort host(device.SlavePath());
    QVERIFY(host.Write(Request(1)));
    QCOMPARE(host.Read(64).size(), std::size_t{64});
    QVERIFY(host.Write(Block(0)));
    QCOMPARE(TypeOf(host.Read(16)), std::uint16_t{0xDA04});

    LineClock line;
    line.SetBaud(config.lineBaud);
    const std::vector<LineEvent> events = device.LineEvents();
    // In order: the request (12 bytes in), its reply (64 out), the block (64 in, perhaps in
    // pieces), its BlockRequest (16 out).
    std::size_t i = 0;
    const auto answerAfter = [&](std::size_t bytesIn) -> std::optional<LineClockType::duration> {
      if (i >= events.size() || !events[i].incoming) return std::nullopt;
      const LineTime firstIn = events[i].at;
      std::size_t in = 0;
      while (i < events.size() && events[i].incoming) in += events[i++].bytes;
      if (in != bytesIn || i >= events.size()) return std::nullopt;
      return events[i++].at - firstIn;
    };
    const auto identify = answerAfter(kIdentifyRequestSize);
    QVERIFY(identify);
    QVERIFY(*identify >= line.Duration(kIdentifyRequestSize));
    const auto block = answerAfter(kFrameSize);
    QVERIFY(block);
    QVERIFY2(*block >= line.Duration(kFrameSize),
             qPrintable(QString::number(std::chrono::duration<double, std::micro>(*block).count()) + " µs"));
    QCOMPARE(i, events.size());
  }

  void dropsAFragmentAfterAQuietSpell() {
    PtyController device;
    QVERIFY(device.Start());
    HostPort host(device.SlavePath());
    const std::vector<std::uint8_t> fragment(40, 0x55);
    QVERIFY(host.Write(fragment));
    QVERIFY(device.WaitFor([](const SimObservations& s) { return s.droppedBytes == 40; }, kDeadline));
    QVERIFY(host.Write(Request(1)));
    QCOMPARE(TypeOf(host.Read(64)), std::uint16_t{0xDA01});
  }

  void vanishClosesTheLine() {
    SimConfig config;
    config.faults.vanishAfterBlocks = 1;
    PtyController device(config);
    QVERIFY(device.Start());
    HostPort host(device.SlavePath());
    QVERIFY(host.Write(Request(1)));
    QCOMPARE(host.Read(64).size(), std::size_t{64});
    QVERIFY(host.Write(Block(0)));
    QVERIFY(host.WaitHangUp());
    QVERIFY(device.WaitFor([](const SimObservations& s) { return s.vanished; }, kDeadline));
    QCOMPARE(device.Observe().blocks.size(), std::size_t{1});

    // On request, before any host came: its master is closed, and with it the path. (Whether the
    // path opens says nothing: another process may get the same number at once.)
    const int masters = OpenMasters();
    PtyController idle;
    QVERIFY(idle.Start());
    QCOMPARE(OpenMasters(), masters + 1);
    idle.Vanish();
    QVERIFY(idle.WaitFor([](const SimObservations& s) { return s.vanished; }, kDeadline));
    QCOMPARE(OpenMasters(), masters);
  }

  void stopCutsAHoldShort() {
    SimConfig config;
    config.timeoutUpdate = TimeoutUpdatePlan{0, 60000, 60000};
    auto device = std::make_unique<PtyController>(config);
    QVERIFY(device->Start());
    HostPort host(device->SlavePath());
    QVERIFY(host.Write(Request(1)));
    QCOMPARE(host.Read(64).size(), std::size_t{64});
    QVERIFY(host.Write(Block(0)));
    QCOMPARE(TypeOf(host.Read(20)), std::uint16_t{0xDA05});
    // Now holding the block request back for a minute; stopping must not wait for it.
    const auto start = Clock::now();
    device.reset();
    QVERIFY(Clock::now() - start < 30s);
  }
};

QTEST_GUILESS_MAIN(PtyDeviceTest)
#include "pty_device_test.moc"
