// The real window over a real serial link to the simulated controller on a pseudo-terminal:
// connect, update the firmware and write the data map as a user would, by clicking.
#include <QEventLoop>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QtTest>
#include <functional>

#include "app_controller.h"
#include "demo.h"
#include "fakes.h"
#include "gauge.h"
#include "main_window.h"
#include "mt_random.h"
#include "port_list.h"
#include "pty_device.h"
#include "scripted_dialogs.h"
#include "serial_link.h"
#include "update_file.h"

using namespace corvane;
using namespace corvane::app;
using corvane::app::testing::ScriptedDialogs;

namespace {

constexpr int kDeadlineMs = 20000;

// Runs the event loop until `done` holds or the deadline passes. Unlike QTRY_* (which sleeps
// between passes), the loop takes every frame the link hands over at once, as the program does.
bool WaitUntil(const std::function<bool()>& done, int deadlineMs = kDeadlineMs) {
  if (done()) return true;
  QEventLoop loop;
  QTimer poll, deadline;
  QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
    if (done()) loop.quit();
  });
  QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
  deadline.setSingleShot(true);
  poll.start(5);
  deadline.start(deadlineMs);
  loop.exec();
  return done();
}

struct Rig {
  Demo demo{64 * 1024};
  ChosenPortLister ports{{demo.PortPath()}};
  SerialLink link;
  corvane::testing::EventLog log;
  corvane::testing::FakeSound sound{log};
  MersenneRandom random;
  ScriptedDialogs dialogs;
  MainWindow window;
  AppController app{window, AppParts{link, ports, sound, dialogs, random}};
  QList<int> gauge;

  Rig() {
    link.SetFrameSink(&app);
    QObject::connect(window.ProgressGauge(), &QProgressBar::valueChanged, [this](int v) { gauge << v; });
    window.show();
  }
  ~Rig() { link.SetFrameSink(nullptr); }

  QString Sample(const char* name) const { return demo.Folder() + "/" + name; }
  bool Connect() {
    QTest::mouseClick(window.ConnectButton(), Qt::LeftButton);
    return WaitUntil([this] { return window.UpdateFirmwareButton()->isEnabled(); });
  }
  bool BoxShown(const QString& text) const {
    for (const auto& b : dialogs.boxes)
      if (b.text == text) return true;
    return false;
  }
};

std::uint32_t FirmwareClosingValue(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return 0;
  const QByteArray bytes = f.readAll();
  return DecodeFirmwareHeader(reinterpret_cast<const std::uint8_t*>(bytes.constData()), bytes.size())
      .header.ClosingValue();
}

}  // namespace

class WindowEndToEndTest : public QObject {
  Q_OBJECT

 private slots:
  void connectShowsTheReportOnGreen() {
    Rig r;
    QTest::mouseClick(r.window.ConnectButton(), Qt::LeftButton);
    QTRY_COMPARE_WITH_TIMEOUT(r.window.Memo()->toPlainText(),
                              QString("Подключено устройство: Quarnel Basis\n\n"
                                      "Версия загрузчика (bootloader):  3\n"
                                      "Версия микропрограммы (firmware): 42\n"
                                      "Верcия памяти данных (Data): 3\n"
                                      "Верификация памяти программ:  OK\n"
                                      "Верификация памяти данных:       OK"),
                              kDeadlineMs);
    QTRY_COMPARE_WITH_TIMEOUT(r.window.Background(), QColor(169, 234, 159), kDeadlineMs);
    QCOMPARE(r.window.StatusLine()->currentMessage(), QString("The device is connected!"));
    QVERIFY(!r.window.ConnectButton()->isEnabled());
    QVERIFY(r.window.UpdateFirmwareButton()->isEnabled());
    QVERIFY(r.window.WriteDataMapButton()->isEnabled());
    QVERIFY(r.window.WriteDataMapButton()->isVisible());

    QTest::mouseClick(r.window.DisconnectButton(), Qt::LeftButton);
    QCOMPARE(r.window.Background(), r.window.ButtonFace());
    QCOMPARE(r.window.Memo()->toPlainText(), QString(""));
    QVERIFY(!r.link.IsOpen());
  }

  // A newer firmware goes through without a question; the device gets every block and the
  // closing value; the verdict disconnects, shows its box and plays its sound.
  void firmwareUpdate() {
    Rig r;
    QVERIFY(r.Connect());
    const QString file = r.Sample("firmware-43-newer.sbin");
    r.dialogs.files = {file};
    QTest::mouseClick(r.window.UpdateFirmwareButton(), Qt::LeftButton);
    QVERIFY(WaitUntil([&r] { return r.BoxShown("Firmware update completed successfully!"); }));
    QCOMPARE(r.dialogs.boxes.size(), std::size_t(1));  // no question for a newer version
    QCOMPARE(r.dialogs.boxes[0].caption, QString("ОК"));

    const SimObservations seen = r.demo.Device().Observe();
    QCOMPARE(seen.blocks.size(), std::size_t(QFileInfo(file).size() / 64));
    QVERIFY(seen.endFrame.has_value());
    QCOMPARE(seen.endFrame->type, std::uint16_t(0xDA06));
    QVERIFY(seen.endFrame->crcOk);
    QCOMPARE(seen.endFrame->closingValue, FirmwareClosingValue(file));

    QCOMPARE(r.window.StatusLine()->currentMessage(), QString("device disconnected."));
    QCOMPARE(r.window.ProgressGauge()->value(), 0);
    QVERIFY(r.window.ConnectButton()->isEnabled());
    // The gauge went up block by block on its way.
    QVERIFY(std::any_of(r.gauge.begin(), r.gauge.end(), [](int v) { return v > 10 && v < 90; }));
    QVERIFY(r.gauge.contains(100) || r.gauge.contains(99));
    QTRY_COMPARE_WITH_TIMEOUT(r.sound.played.size(), std::size_t(1), kDeadlineMs);
    QCOMPARE(r.sound.played[0], std::string("voice//update_is_ready.wav"));
  }

  // Closing the window mid-transfer closes the port and stops Timer2, with no box and no sound.
  void closingDuringTransfer() {
    Rig r;
    QVERIFY(r.Connect());
    r.dialogs.files = {r.Sample("firmware-42-same.sbin")};
    // The close comes from the event loop between two blocks, as a click on the close box would.
    bool closeQueued = false;
    QObject::connect(r.window.ProgressGauge(), &QProgressBar::valueChanged, &r.window, [&](int v) {
      if (v >= 20 && !closeQueued) {
        closeQueued = true;
        QMetaObject::invokeMethod(&r.window, &QWidget::close, Qt::QueuedConnection);
      }
    });
    QTest::mouseClick(r.window.UpdateFirmwareButton(), Qt::LeftButton);  // "same version?" Yes
    QVERIFY(WaitUntil([&r] { return !r.window.isVisible(); }));
    QVERIFY(!r.link.IsOpen());
    QVERIFY(!r.app.responseTimer().IsActive());
    QCOMPARE(r.dialogs.boxes.size(), std::size_t(1));  // only the question
    const SimObservations seen = r.demo.Device().Observe();
    QVERIFY(!seen.endFrame.has_value());
    QVERIFY(seen.blocks.size() < std::size_t(QFileInfo(r.Sample("firmware-42-same.sbin")).size() / 64));
    QSignalSpy ticks(&r.app.soundTimer().Qt(), &QTimer::timeout);
    QVERIFY(WaitUntil([&ticks] { return ticks.count() >= 2; }));
    QVERIFY(r.sound.played.empty());
  }

  void dataMapUpdate() {
    Rig r;
    QVERIFY(r.Connect());
    r.dialogs.files = {r.Sample("datamap-v3.lbin")};
    QTest::mouseClick(r.window.WriteDataMapButton(), Qt::LeftButton);
    QVERIFY(WaitUntil([&r] { return r.BoxShown("Обновление карты данных успешно завершено!"); }));
    const SimObservations seen = r.demo.Device().Observe();
    QCOMPARE(seen.blocks.size(), std::size_t(QFileInfo(r.Sample("datamap-v3.lbin")).size() / 64));
    QVERIFY(seen.endFrame.has_value());
    QCOMPARE(seen.endFrame->type, std::uint16_t(0xDA08));
    QVERIFY(seen.endFrame->crcOk);
    QCOMPARE(r.window.StatusLine()->currentMessage(), QString("device disconnected."));
  }
};

QTEST_MAIN(WindowEndToEndTest)
#include "tst_window_e2e.moc"
