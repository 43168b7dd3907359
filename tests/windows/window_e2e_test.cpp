// The window end to end under Wine: the system's COM ports (the QueryDosDeviceA walk), CONNECT,
// the model-1 report, a firmware update against the simulated controller on CORVANE_TEST_COM,
// the verdict box and the completion sound played with PlaySoundA (its call recorded from the
// sound log).
#include <QComboBox>
#include <QFile>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "app_controller.h"
#include "main_window.h"
#include "mt_random.h"
#include "packer.h"
#include "port_list.h"
#include "scripted_dialogs.h"
#include "serial_link.h"
#include "sound_player.h"
#include "wait.h"

using namespace corvane;
using namespace std::chrono_literals;

namespace {

std::mutex soundLogMutex;
QStringList soundLog;
QtMessageHandler previousHandler = nullptr;

void RecordSound(QtMsgType type, const QMessageLogContext& context, const QString& message) {
  if (context.category && QByteArray(context.category) == "corvane.sound") {
    std::lock_guard lock(soundLogMutex);
    soundLog << message;
  }
  if (previousHandler) previousHandler(type, context, message);
}

bool SoundPlayed(const QString& call) {
  std::lock_guard lock(soundLogMutex);
  return soundLog.contains(call);
}

// A firmware file for model 1, version 11 (the controller has 10).
QString WriteFirmware(const QTemporaryDir& dir) {
  MersenneRandom random;
  std::vector<std::uint8_t> image(64 * 40);
  for (auto& b : image) b = random.NextByte();
  const std::vector<std::uint8_t> file = PackFirmware(FirmwareFields{0x0001, 11, 0x00C0FFEE}, image, random);
  const QString path = dir.filePath("firmware.sbin");
  QFile out(path);
  if (!out.open(QIODevice::WriteOnly)) return {};
  out.write(reinterpret_cast<const char*>(file.data()), static_cast<qint64>(file.size()));
  return path;
}

}  // namespace

class WindowE2eTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() {
    QLoggingCategory::setFilterRules(QStringLiteral("corvane.sound.debug=true"));
    previousHandler = qInstallMessageHandler(RecordSound);
  }

  void connectUpdateAndSound() {
    const char* port = std::getenv("CORVANE_TEST_COM");
    if (!port) QSKIP("no COM port mapped (scripts/test-windows.sh maps one)");
    QTemporaryDir dir;
    const QString firmware = WriteFirmware(dir);
    QVERIFY(!firmware.isEmpty());

    SerialLink link;
    SystemPortLister ports(nullptr);
    app::QtSoundPlayer sound;
    app::testing::ScriptedDialogs dialogs;
    dialogs.files = {firmware};
    MersenneRandom random;
    app::MainWindow window;
    app::AppController controller(window, app::AppParts{link, ports, sound, dialogs, random});
    link.SetFrameSink(&controller);
    window.show();
    QVERIFY(window.PortList()->findText(QString::fromLatin1(port)) >= 0);  // listed by the walk

    QTest::mouseClick(window.ConnectButton(), Qt::LeftButton);
    QVERIFY(testing::WaitFor([&] { return window.StatusLine()->currentMessage() == "The device is connected!"; }));
    QVERIFY(testing::WaitFor([&] { return window.Memo()->toPlainText().contains("Подключено устройство: Quarnel Basis"); }));
    QVERIFY(window.UpdateFirmwareButton()->isEnabled());

    QTest::mouseClick(window.UpdateFirmwareButton(), Qt::LeftButton);
    const auto verdictShown = [&] {
      for (const auto& box : dialogs.boxes)
        if (box.text == "Firmware update completed successfully!") return true;
      return false;
    };
    const auto seen = [&] {
      QString text = "status: " + window.StatusLine()->currentMessage() + "; boxes:";
      for (const auto& box : dialogs.boxes) text += " [" + box.text + "]";
      return text.toUtf8();
    };
    QVERIFY2(testing::WaitFor(verdictShown, 60s), seen().constData());
    QVERIFY(testing::WaitFor([] { return SoundPlayed("PlaySoundA voice//update_is_ready.wav SND_FILENAME | SND_ASYNC"); }));
    QVERIFY(!SoundPlayed("PlaySoundA voice//update_failed.wav SND_FILENAME | SND_ASYNC"));

    link.SetFrameSink(nullptr);
    link.ClosePort();
  }
};

QTEST_MAIN(WindowE2eTest)
#include "window_e2e_test.moc"
