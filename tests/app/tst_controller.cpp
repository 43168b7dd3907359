// The wiring of window, Session, timers, dialogs and sound: clicks, frames, timers and closing
// reach the logic, and what the logic shows lands in the real widgets.
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>
#include <stdexcept>

#include "app_controller.h"
#include "device_frames.h"
#include "fakes.h"
#include "gauge.h"
#include "mt_random.h"
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
  void Feed(const Bytes& frame) { app->OnFrame(frame.data(), frame.size()); }
  void Feed(const Frame& frame) { app->OnFrame(frame.data(), frame.size()); }
};

// A link whose ClosePort throws, to reach the last-resort guard.
class ThrowingLink : public FakeLink {
 public:
  using FakeLink::FakeLink;
  void ClosePort() override { throw std::runtime_error("port gone"); }
};

class ThrowingDialogs : public ScriptedDialogs {
 public:
  BoxAnswer ShowBox(QWidget*, const QString&, const QString&, BoxButtons) override {
    throw std::runtime_error("no box today");
  }
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

    // Timer1 runs the next step on the next port.
    QTRY_COMPARE_WITH_TIMEOUT(r.link.openAttempts.size(), std::size_t(2), 5000);
    QCOMPARE(r.link.openAttempts[1], std::string("/dev/pts/4"));

    QTest::mouseClick(r.window.DisconnectButton(), Qt::LeftButton);
    QVERIFY(!r.app->scanTimer().IsActive());
    QCOMPARE(r.window.StatusLine()->currentMessage(), QString("device disconnected."));
    QCOMPARE(r.window.ProgressGauge()->value(), 0);
    QVERIFY(r.window.ConnectButton()->isEnabled());
    QVERIFY(!r.link.open);
  }

  void identificationReachesTheWindow() {
    Rig r;
    SimConfig model1;
    model1.typeWord = 1;
    model1.bootloaderVersion = 3;
    model1.firmwareVersion = 42;
    model1.dataVersion = 3;
    MersenneRandom random(7);
    r.Feed(BuildIdentifyReply(model1, false, random));
    QCOMPARE(r.window.Memo()->toPlainText(),
             QString("Подключено устройство: Quarnel Basis\n\n"
                     "Версия загрузчика (bootloader):  3\n"
                     "Версия микропрограммы (firmware): 42\n"
                     "Верcия памяти данных (Data): 3\n"
                     "Верификация памяти программ:  OK\n"
                     "Верификация памяти данных:       OK"));
    QCOMPARE(r.window.Background(), QColor(169, 234, 159));
    QVERIFY(!r.window.ConnectButton()->isEnabled());
    QVERIFY(r.window.UpdateFirmwareButton()->isEnabled());
    QVERIFY(r.window.WriteDataMapButton()->isEnabled());
    QVERIFY(r.window.WriteDataMapButton()->isVisible());

    SimConfig marked = model1;
    marked.typeWord = 0x8002;
    r.Feed(BuildIdentifyReply(marked, false, random));
    QCOMPARE(r.window.Background(), QColor(255, 0, 0));
    QVERIFY(!r.window.WriteDataMapButton()->isVisible());
  }

  // The verdict's box is shown while the sound flag is up; Timer3 then plays the file once.
  void firmwareVerdictShowsItsBoxAndPlaysItsSound() {
    Rig r;
    r.Feed(BuildResult(0xDA07, 1, 16, 0));
    QCOMPARE(r.dialogs.boxes.size(), std::size_t(1));
    QCOMPARE(r.dialogs.boxes[0].text, QString("Firmware update completed successfully!"));
    QCOMPARE(r.dialogs.boxes[0].caption, QString("ОК"));
    QCOMPARE(r.window.StatusLine()->currentMessage(), QString("device disconnected."));
    QTRY_COMPARE_WITH_TIMEOUT(r.sound.played.size(), std::size_t(1), 5000);
    QCOMPARE(r.sound.played[0], std::string("voice//update_is_ready.wav"));

    r.Feed(BuildResult(0xDA07, 0, 16, 1));
    QCOMPARE(r.dialogs.boxes.back().text, QString("Firmware update failure"));
    QCOMPARE(r.dialogs.boxes.back().caption, QString("ERROR"));
    QTRY_COMPARE_WITH_TIMEOUT(r.sound.played.size(), std::size_t(2), 5000);
    QCOMPARE(r.sound.played[1], std::string("voice//update_failed.wav"));
  }

  void updateButtonsOpenTheFileDialog() {
    Rig r;
    SimConfig model1;
    MersenneRandom random(3);
    r.Feed(BuildIdentifyReply(model1, false, random));
    r.app->view().SetStartFolder("/tmp");
    QTest::mouseClick(r.window.UpdateFirmwareButton(), Qt::LeftButton);
    QCOMPARE(r.dialogs.fileRequests.size(), std::size_t(1));
    QCOMPARE(r.dialogs.fileRequests[0].filter, QString("binary file SBIN (*.sbin)"));
    QCOMPARE(r.dialogs.fileRequests[0].folder, QString("/tmp"));
    QTest::mouseClick(r.window.WriteDataMapButton(), Qt::LeftButton);
    QCOMPARE(r.dialogs.fileRequests.size(), std::size_t(2));
    QCOMPARE(r.dialogs.fileRequests[1].filter, QString("карта данных LBIN (*.lbin)"));
    QCOMPARE(r.dialogs.fileRequests[1].suffix, QString("lbin"));
  }

  void closingTheWindowClosesThePort() {
    Rig r;
    r.link.duringWait = [&r] { r.link.frameReceived = true; };  // the first port answers
    QTest::mouseClick(r.window.ConnectButton(), Qt::LeftButton);
    QVERIFY(r.link.open);
    QCOMPARE(r.window.StatusLine()->currentMessage(), QString("The device is connected!"));
    r.app->responseTimer().Start(200);
    r.window.close();
    QVERIFY(!r.link.open);
    QVERIFY(!r.app->responseTimer().IsActive());
    QVERIFY(r.log.Find("link.close") >= 0);
  }

  // Even an exception that the logic's own guard cannot show is caught before it reaches the
  // event loop, and goes to the error box.
  void escapingExceptionGoesToTheErrorBox() {
    EventLog log;
    ThrowingLink link(log);
    FakePortLister ports;
    FakeSound sound(log);
    FakeRandom random;
    ThrowingDialogs dialogs;
    MainWindow window;
    AppController app(window, AppParts{link, ports, sound, dialogs, random});
    window.show();
    window.close();
    QCOMPARE(dialogs.errors.size(), std::size_t(1));
    QCOMPARE(dialogs.errors[0], QString("no box today"));
  }
};

QTEST_MAIN(ControllerTest)
#include "tst_controller.moc"
