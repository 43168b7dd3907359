// The connection scan driven through CONNECT and Timer1, over scripted port lists.
#include "scan.h"

#include <QTest>

#include "connect_rig.h"

using namespace corvane;
using namespace corvane::testing;

namespace {

const std::string kScanning = " Идет сканирование портов ";
const std::string kConnected = "The device is connected!";
const Frame kModelOne = IdentifyReply({0x00, 0x01, 0x05, 0x00, 0x2A, 0x00, 0x03, 0x01, 0x01});

}  // namespace

class ScanTest : public QObject {
  Q_OBJECT

 private slots:
  void threePortsInTurnWithFailingOpenAndShrinkingList() {
    SessionRig r;
    r.lister.ports = {"A", "B", "C"};
    r.link.openResults["B"] = OpenResult::kOpenFailed;
    r.session.Connect();
    QVERIFY(r.timer1.IsActive());
    for (int n = 0; n < 4; ++n) r.session.ScanTimerFired();
    QCOMPARE(r.link.openAttempts, (std::vector<std::string>{"A", "B", "C", "A", "B"}));
    QCOMPARE(r.view.status, std::string("Не удалось открыть порт"));
    QCOMPARE(r.log.Count("view.status:" + kScanning), 5);
    QCOMPARE(r.log.Count("view.colour:face"), 3);  // after each port that opened and stayed silent
    QCOMPARE(r.link.sent.size(), 3u);              // one identification request per opened port
    QVERIFY(!r.link.open && r.view.background == Colour::kButtonFace);

    // CONNECT during the scan steps at once from the current index; Timer1 goes on.
    r.session.Connect();
    QCOMPARE(r.link.openAttempts.back(), std::string("C"));
    QVERIFY(r.timer1.IsActive());

    // The list shrinks below the index: the first port is tried and the count restarts.
    r.lister.ports = {"A"};
    r.session.ScanTimerFired();
    QCOMPARE(r.link.openAttempts.back(), std::string("A"));
    QCOMPARE(r.session.Scan().ScanPortIndex(), 1);
    r.session.ScanTimerFired();
    QCOMPARE(r.link.openAttempts.back(), std::string("A"));
  }

  void emptyListOpensTheLastShownName() {
    SessionRig r;
    r.session.FormCreate();
    r.link.openResults["ComboBox1"] = OpenResult::kOpenFailed;
    r.session.Connect();
    QCOMPARE(r.link.openAttempts, std::vector<std::string>{"ComboBox1"});
    QCOMPARE(r.view.status, std::string("Не удалось открыть порт"));
    r.lister.ports = {"/dev/ttyUSB3"};
    r.link.openResults["/dev/ttyUSB3"] = OpenResult::kApplySettingsFailed;
    r.session.ScanTimerFired();
    r.lister.ports = {};
    r.session.ScanTimerFired();
    QCOMPARE(r.link.openAttempts, (std::vector<std::string>{"ComboBox1", "/dev/ttyUSB3", "/dev/ttyUSB3"}));
    QCOMPARE(r.view.portText, std::string("/dev/ttyUSB3"));
  }

  void openFailuresShowTheirTexts() {
    SessionRig r;
    r.lister.ports = {"A", "B", "C", "D"};
    r.link.openResults = {{"A", OpenResult::kOpenFailed},
                          {"B", OpenResult::kReadSettingsFailed},
                          {"C", OpenResult::kApplySettingsFailed},
                          {"D", OpenResult::kTimeoutsFailed}};
    const char* texts[] = {"Не удалось открыть порт", "Не удалось считать DCB", "Не удалось установить DCB",
                           "Не удалось установить тайм-ауты"};
    r.session.Connect();
    for (int n = 0; n < 4; ++n) {
      if (n > 0) r.session.ScanTimerFired();
      QCOMPARE(r.view.status, std::string(texts[n]));
    }
    QVERIFY(r.link.sent.empty());
  }

  void gaugeStepsByTenAndWraps() {
    SessionRig r;
    r.link.openResults["ComboBox1"] = OpenResult::kOpenFailed;
    r.session.Connect();
    for (int n = 0; n < 11; ++n) r.session.ScanTimerFired();
    QCOMPARE(r.view.gaugeHistory, (std::vector<int>{10, 20, 30, 40, 50, 60, 70, 80, 90, 100, 0, 10}));
    r.session.Disconnect();  // the scan's own count is not reset by a disconnect or CONNECT
    r.session.Connect();
    QCOMPARE(r.view.gauge, 20);
  }

  void deviceOnSecondPortAndIndexKeptForNextConnect() {
    SessionRig r;
    r.lister.ports = {"A", "B"};
    r.DeviceOn("B", kModelOne);
    r.session.Connect();
    QCOMPARE(r.view.status, kScanning);
    r.session.ScanTimerFired();
    QCOMPARE(r.view.status, kConnected);
    QCOMPARE(r.view.gauge, 0);
    QVERIFY(!r.timer1.IsActive() && r.link.open && r.session.Scan().ScanDone());
    r.Deliver();
    QCOMPARE(r.view.background, Colour::kLightGreen);
    QVERIFY(!r.view.connectEnabled);

    r.session.ScanTimerFired();  // a late tick after the find does nothing
    QCOMPARE(r.link.openAttempts.size(), 2u);

    r.session.Disconnect();
    r.DeviceOn("", {});
    r.session.Connect();
    QCOMPARE(r.link.openAttempts.back(), std::string("B"));
  }

  void findInsideConnectLeavesTimer1TickingWithoutEffect() {
    SessionRig r;
    r.ConnectTo(kModelOne);
    QVERIFY(r.timer1.IsActive());  // started after the step that found the device
    r.session.ScanTimerFired();
    QCOMPARE(r.link.openAttempts.size(), 1u);
    QCOMPARE(r.view.status, kConnected);
  }

  void connectWhileAPortIsOpenClosesItFirst() {
    SessionRig r;
    // A reply whose record fails its check: found, but no report, so CONNECT stays enabled.
    r.ConnectTo(IdentifyReply({0x80, 0x01, 5, 0, 42, 0, 3, 1, 1}, true));
    QVERIFY(r.link.open && r.view.connectEnabled);
    r.log.Clear();
    r.session.Connect();
    const int close = r.log.Find("link.close");
    QVERIFY(close >= 0 && close < r.log.Find("link.open:/dev/ttyACM0"));
    QVERIFY(r.link.open);
  }

  void eachRequestStartsWithDeviceMarkClear() {
    SessionRig r;
    r.ConnectTo(IdentifyReply({0x80, 0x02, 5, 0, 42, 0, 3, 1, 1}));
    QVERIFY(r.session.Receive().DeviceMarked());
    QCOMPARE(r.view.background, Colour::kRed);
    r.DeviceOn("", {});
    r.session.Connect();
    QVERIFY(!r.session.Receive().DeviceMarked());
  }
};

QTEST_APPLESS_MAIN(ScanTest)
#include "scan_test.moc"
