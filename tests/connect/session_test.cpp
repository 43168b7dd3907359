// The window's states as the session's event handlers move through them, and the handlers' own
// duties: stopping Timer2 before a dispatch, padding short frames, leaving exceptions to the caller.
#include <QTemporaryDir>
#include <QTest>
#include <fstream>
#include <memory>

#include "bytes.h"
#include "connect_rig.h"
#include "crc32.h"
#include "mt_random.h"
#include "packer.h"
#include "receiver.h"
#include "scan.h"

using namespace corvane;
using namespace corvane::testing;

namespace {

const std::string kConnected = "The device is connected!";
const Frame kModelOne = IdentifyReply({0x00, 0x01, 0x05, 0x00, 0x2A, 0x00, 0x03, 0x01, 0x01});
const Frame kModelThree = IdentifyReply({0x00, 0x03, 0x05, 0x00, 0x2A, 0x00, 0x00, 0x01, 0x00});

// A firmware file for model 1, version 43 (newer than the reported 42, so nothing is asked).
std::string WriteFirmware(const QTemporaryDir& dir) {
  MersenneRandom random(7);
  const std::vector<std::uint8_t> file =
      PackFirmware({1, 43, 0x01020304}, std::vector<std::uint8_t>(640, 0x5A), random);
  const std::string path = dir.filePath("fw.sbin").toStdString();
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(file.data()), file.size());
  return path;
}

}  // namespace

class SessionTest : public QObject {
  Q_OBJECT

 private slots:
  void walksTheWindowStates() {
    SessionRig r;
    r.session.FormCreate();
    // Idle: the session itself has shown nothing but the port list.
    QCOMPARE(r.log.events, std::vector<std::string>{"view.ports:ComboBox1"});

    // Scanning: CONNECT with a silent port.
    r.lister.ports = {"/dev/ttyACM0"};
    r.session.Connect();
    QVERIFY(r.timer1.IsActive());
    QCOMPARE(r.view.status, std::string(" Идет сканирование портов "));
    QCOMPARE(r.view.background, Colour::kButtonFace);
    QVERIFY(r.view.connectEnabled && !r.view.firmwareEnabled && !r.view.dataMapEnabled);

    // Connected: the device answers on the next tick and is reported.
    r.DeviceOn("/dev/ttyACM0", kModelOne);
    r.session.ScanTimerFired();
    r.Deliver();
    QVERIFY(!r.timer1.IsActive());
    QCOMPARE(r.view.status, kConnected);
    QCOMPARE(r.view.background, Colour::kLightGreen);
    QVERIFY(!r.view.connectEnabled && r.view.firmwareEnabled && r.view.dataMapEnabled && r.view.dataMapVisible);

    // Updating: block 0 goes out; both update buttons are disabled (no second file into this one).
    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    r.view.chosenFiles.push_back(WriteFirmware(dir));
    r.session.UpdateFirmware();
    QCOMPARE(r.session.Transfer().NextBlock(), 1u);
    QCOMPARE(r.link.sent.back().size(), 64u);
    QCOMPARE(r.timer2.Interval(), 40u);
    QVERIFY(!r.view.connectEnabled && !r.view.firmwareEnabled && !r.view.dataMapEnabled && !r.timer1.IsActive());
    QVERIFY(r.view.dataMapVisible);
    QCOMPARE(r.view.status, kConnected);

    // Disconnected.
    r.session.Disconnect();
    QCOMPARE(r.view.status, std::string("device disconnected."));
    QVERIFY(r.view.connectEnabled && !r.view.firmwareEnabled && !r.view.dataMapEnabled && r.view.dataMapVisible);
    QVERIFY(!r.timer1.IsActive() && !r.timer2.IsActive() && !r.link.open);
    QCOMPARE(r.view.background, Colour::kButtonFace);
    QCOMPARE(r.view.gauge, 0);
    QVERIFY(r.view.memo.empty());
  }

  void connectClearsTheDeviceIdentity() {
    SessionRig r;
    r.ConnectTo(kModelOne);
    r.session.Disconnect();
    r.DeviceOn("", {});
    r.session.Connect();
    QCOMPARE(r.session.Device().ConnectedDeviceType, 0);
    QCOMPARE(r.session.Device().ConnectedFirmwareVersion, 0);
    QCOMPARE(r.session.Device().ConnectedDataVersion, 0);
    QCOMPARE(r.session.Device().ProgramMemoryOk, 1);  // kept from the last report
  }

  void writeDataMapStaysHiddenAfterAnotherModel() {
    SessionRig r;
    r.ConnectTo(kModelThree);
    QVERIFY(!r.view.dataMapVisible);
    QCOMPARE(r.session.Device().ConnectedDataVersion, 0);
    r.session.Disconnect();
    QVERIFY(!r.view.dataMapVisible && !r.view.dataMapEnabled);
    r.ConnectTo(kModelOne);
    QVERIFY(r.view.dataMapVisible && r.view.dataMapEnabled);
  }

  void foundButUnreportedKeepsConnectEnabled() {
    SessionRig r;
    r.ConnectTo(IdentifyReply({0x00, 0x01, 5, 0, 42, 0, 3, 1, 1}, true));
    QCOMPARE(r.view.status, kConnected);
    QVERIFY(r.view.connectEnabled && !r.view.firmwareEnabled);
    QVERIFY(r.view.memo.empty());
    QCOMPARE(r.view.background, Colour::kButtonFace);
    QVERIFY(!r.timer2.IsActive());  // the frame still ended the resends
  }

  void frameAfterResendsStopsTimer2FirstAndNextSendStartsAtZero() {
    SessionRig r;
    r.lister.ports = {"P"};
    r.DeviceOn("P", kModelOne);
    r.session.Connect();
    for (int n = 0; n < 3; ++n) r.session.ResponseTimerFired();
    QCOMPARE(r.session.Sender().RetryCount(), 3u);
    QCOMPARE(r.link.sent.size(), 4u);
    r.log.Clear();
    r.Deliver();
    QCOMPARE(r.log.events.front(), std::string("timer2.stop"));
    QVERIFY(!r.timer2.IsActive());

    QTemporaryDir dir;
    r.view.chosenFiles.push_back(WriteFirmware(dir));
    r.session.UpdateFirmware();
    QCOMPARE(r.session.Sender().RetryCount(), 0u);
    QVERIFY(r.timer2.IsActive());
  }

  void shortChunksNeverReadPastTheirEnd() {
    SessionRig r;
    r.ConnectTo(kModelOne);
    r.log.Clear();
    // 16-byte chunks in blocks of exactly that size: an identification reply of 16 bytes cannot
    // pass its record check, a 16-byte verdict is handled from its byte 4 (a failure: no transfer ran).
    for (std::uint16_t type : {0xDA01, 0xDA07}) {
      const Frame full = DeviceFrame(type, {1});
      auto chunk = std::make_unique<std::uint8_t[]>(16);
      std::copy_n(full.begin(), 12, chunk.get());
      WriteBe32(chunk.get() + 12, Stm32Crc32(chunk.get(), 12));
      QVERIFY(CheckFrame(chunk.get(), 16));
      r.session.OnFrame(chunk.get(), 16);
    }
    QCOMPARE(r.view.boxes.back().text, std::string("Firmware update failure"));
    QCOMPARE(r.view.memo.size(), 0u);  // cleared by the verdict's disconnect, never rewritten
    QCOMPARE(r.log.Count("view.colour:green"), 0);
  }

  // The session shows no box of its own for an exception: it reaches the caller (the host's one
  // guard), and the next handler works as usual.
  void handlerExceptionsReachTheCaller() {
    SessionRig r;
    r.lister.error = "port list unavailable";
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, r.session.Connect());
    QVERIFY(r.view.boxes.empty() && r.view.notices.empty());
    QVERIFY(!r.timer1.IsActive());
    r.lister.error.clear();
    r.ConnectTo(kModelOne);
    QCOMPARE(r.view.status, kConnected);
  }

  void formCloseClosesThePortThenStopsTimer2() {
    SessionRig r;
    r.lister.ports = {"P"};
    r.session.Connect();
    r.link.open = true;
    r.log.Clear();
    r.session.FormClose();
    QCOMPARE(r.log.events, (std::vector<std::string>{"link.close", "timer2.stop"}));
  }
};

QTEST_APPLESS_MAIN(SessionTest)
#include "session_test.moc"
