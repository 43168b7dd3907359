// The wiring of window, Session, timers, dialogs and sound: clicks, frames, timers and closing
// reach the logic, and what the logic shows lands in the real widgets.
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>
#include <stdexcept>

#include "app_controller.h"
#include "fakes.h"
#include "gauge.h"
#include "main_window.h"
#include "scripted_dialogs.h"

using namespace corvane;
using namespace corvane::app;
using corvane::app::testing::ScriptedDialogs;
using corvane::testing::EventLog;
using corvane::testing::FakeLink;
using corvane::testing::FakePortLister;
using corvane::testing::FakeRandom;
using corvane::testing::FakeSound;

namespace {

struct Rig {
  EventLog log;
  FakeLink link{log};
  FakePortLister ports;
  FakeSound sound{log};
  FakeRandom random;
  ScriptedDialogs dialogs;
  MainWindow window;
  std::unique_ptr<AppController> app;

  explicit Rig(std::vector<std::string> portNames = {"/dev/ttyUSB0", "/dev/pts/4"}) {
    ports.ports = std::move(portNames);
    app = std::make_unique<AppController>(window, AppParts{link, ports, sound, dialogs, random});
    window.show();
  }
};

// A link whose ClosePort throws, as a handler's failure.
class ThrowingLink : public FakeLink {
 public:
  using FakeLink::FakeLink;
  void ClosePort() override { throw std::runtime_error("port gone"); }
};

}  // namespace

class ControllerTest : public QObject {
  Q_OBJECT

 private slots:
  void startFillsThePortListAndRunsTheSoundTimer() {
    Rig r;
    QCOMPARE(r.ports.calls, 1);
    QCOMPARE(r.window.PortList()->count(), 2);
    QCOMPARE(r.window.PortList()->currentText(), QString("/dev/ttyUSB0"));
    QVERIFY(r.app->soundTimer().IsActive());
    QCOMPARE(r.app->soundTimer().Interval(), 100u);
    QVERIFY(!r.app->scanTimer().IsActive());
    QVERIFY(!r.app->responseTimer().IsActive());
    QCOMPARE(r.window.StatusLine()->currentMessage(), QString(""));
  }

  void connectScansAndDisconnectResets() {
    Rig r;
    QTest::mouseClick(r.window.ConnectButton(), Qt::LeftButton);
    QCOMPARE(r.link.openAttempts, (std::vector<std::string>{"/dev/ttyUSB0"}));
    QCOMPARE(r.window.StatusLine()->currentMessage(), QString(" Идет сканирование портов "));
    QCOMPARE(r.window.ProgressGauge()->value(), 10);
    QVERIFY(r.app->scanTimer().IsActive());
    QCOMPARE(r.app->scanTimer().Interval(), 100u);

    // Timer1 runs the next step on the next port (on a busy machine more steps may have run
    // before the check).
    QTRY_VERIFY_WITH_TIMEOUT(r.link.openAttempts.size() >= 2, 5000);
    QCOMPARE(r.link.openAttempts[1], std::string("/dev/pts/4"));

    QTest::mouseClick(r.window.DisconnectButton(), Qt::LeftButton);
    QVERIFY(!r.app->scanTimer().IsActive());
    QCOMPARE(r.window.StatusLine()->currentMessage(), QString("device disconnected."));
    QCOMPARE(r.window.ProgressGauge()->value(), 0);
    QVERIFY(r.window.ConnectButton()->isEnabled());
    QVERIFY(!r.link.open);
  }

  // After the window has closed, a frame still on its way changes nothing.
  void noFrameAfterClose() {
    Rig r;
    r.link.duringWait = [&r] { r.link.frameReceived = true; };
    QTest::mouseClick(r.window.ConnectButton(), Qt::LeftButton);
    r.window.close();
    QVERIFY(!r.link.open);
    const std::uint8_t blockRequest[16] = {0xDA, 0x04, 0, 1, 0x03, 0xE8};  // interval 1000 ms
    r.app->OnFrame(blockRequest, sizeof blockRequest);
    QVERIFY(!r.app->responseTimer().IsActive());  // a BlockRequest would have started it
  }

  // An exception that escapes a handler goes to the toolkit's error box, the same one whichever
  // handler it was, and the window goes on with the state it had at that point.
  void escapingExceptionGoesToTheOneErrorBox() {
    EventLog log;
    ThrowingLink link(log);
    FakePortLister ports;
    ports.ports = {"/dev/ttyUSB0"};
    FakeSound sound(log);
    FakeRandom random;
    ScriptedDialogs dialogs;
    MainWindow window;
    AppController app(window, AppParts{link, ports, sound, dialogs, random});
    window.show();
    QTest::mouseClick(window.ConnectButton(), Qt::LeftButton);  // the silent port's close throws
    QCOMPARE(window.StatusLine()->currentMessage(), QString(" Идет сканирование портов "));
    window.close();
    QCOMPARE(dialogs.errors, (std::vector<QString>{"port gone", "port gone"}));
    QVERIFY(dialogs.boxes.empty());
  }
};

QTEST_MAIN(ControllerTest)
#include "tst_controller.moc"
