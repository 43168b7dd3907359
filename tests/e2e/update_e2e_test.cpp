// Updates through the real window over the real serial link to a simulated controller on a
// pseudo-terminal: what the device got, the verdicts with their boxes and sounds, a device that
// falls silent or sends its request behind another frame, a window closed mid-transfer, and the
// demo's controller with its sample files.
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <cstring>
#include <numeric>

#include "demo.h"
#include "gauge.h"
#include "timing.h"
#include "update_file.h"
#include "window_rig.h"

using namespace corvane;
using namespace corvane::e2e;
using corvane::testing::TimingChecks;

namespace {

const QString kDropped = "Произведено 5 попыток коммуникации, связь прервана!";

// Whether the device received exactly the file's blocks, each once, in order, unchanged (a resend
// is told by its content, as a device that checks its blocks does; a loaded machine may resend
// before it reads an answer). Without a single resend only where timing checks run.
bool ReceivedExactly(const SimObservations& seen, const std::vector<std::uint8_t>& file) {
  if (TimingChecks() && seen.resends != 0) return false;
  if (seen.blocks.size() * 64 != file.size()) return false;
  for (std::size_t k = 0; k < seen.blocks.size(); ++k)
    if (std::memcmp(seen.blocks[k].data(), file.data() + 64 * k, 64) != 0) return false;
  return true;
}

// The closing value in the header of the firmware file at `path`, as the program reads it.
std::uint32_t FirmwareClosingValue(const QString& path) {
  QFile f(path);
  if (!f.open(QIODevice::ReadOnly)) return 0;
  const QByteArray bytes = f.readAll();
  return DecodeFirmwareHeader(reinterpret_cast<const std::uint8_t*>(bytes.constData()), bytes.size())
      .header.ClosingValue();
}

// Runs the event loop for `ticks` more ticks of the sound timer.
bool SoundTimerTicks(WindowRig& r, int ticks) {
  QSignalSpy spy(&r.app.soundTimer().Qt(), &QTimer::timeout);
  return WaitFor([&] { return spy.count() >= ticks; });
}

class UpdateRun {
 public:
  explicit UpdateRun(const SimConfig& config) : device_(StartDevice(config, &error_)) {}
  bool Ready() const { return device_ != nullptr && dir_.isValid(); }
  const std::string& Error() const { return error_; }
  PtyController& Device() { return *device_; }
  const QTemporaryDir& Dir() const { return dir_; }

 private:
  std::string error_;
  std::unique_ptr<PtyController> device_;
  QTemporaryDir dir_;
};

// CONNECT, then pick `file` with the given update button.
bool ConnectAndStart(WindowRig& r, const QString& file, QPushButton* button) {
  r.Click(r.window.ConnectButton());
  if (!WaitFor([&] { return button->isEnabled(); })) return false;
  r.dialogs.files = {file};
  r.Click(button);
  return true;
}

}  // namespace

class UpdateEndToEndTest : public QObject {
  Q_OBJECT

 private slots:
  // The tests keep using the window after closing it, as the program never does.
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  void megabyteFirmwareArrivesWhole() {
    UpdateRun run(ModelOne());
    QVERIFY2(run.Ready(), run.Error().c_str());
    const UpdateFile file = WriteFirmware(run.Dir(), 43, 1024 * 1024);
    QVERIFY(!file.path.isEmpty());
    WindowRig r({run.Device().SlavePath()});

    QElapsedTimer clock;
    clock.start();
    QVERIFY(ConnectAndStart(r, file.path, r.window.UpdateFirmwareButton()));
    QVERIFY(WaitFor([&] { return !r.dialogs.boxes.empty(); }, 300s));
    qInfo("%zu blocks in %.2f s", file.bytes.size() / 64, static_cast<double>(clock.elapsed()) / 1000.0);

    QCOMPARE(r.dialogs.boxes.size(), std::size_t{1});  // a newer version: no question asked
    QCOMPARE(r.dialogs.boxes[0].text, QString("Firmware update completed successfully!"));
    QCOMPARE(r.dialogs.boxes[0].caption, QString("ОК"));
    QCOMPARE(r.dialogs.boxes[0].buttons, BoxButtons::kOk);
    const SimObservations seen = run.Device().Observe();
    QVERIFY(ReceivedExactly(seen, file.bytes));
    QCOMPARE(seen.endFrames, 1u);
    QVERIFY(seen.endFrame.has_value());
    QCOMPARE(seen.endFrame->type, std::uint16_t{0xDA06});
    QVERIFY(seen.endFrame->crcOk);
    QCOMPARE(seen.endFrame->closingValue, file.closingValue);

    QVERIFY(r.Disconnected());
    QCOMPARE(r.Status(), QString("device disconnected."));
    // After the scan's values, the gauge rose one percent at a time to 100, and the verdict set it
    // back to 0.
    std::vector<int> rising(100);
    std::iota(rising.begin(), rising.end(), 1);
    rising.push_back(0);
    QVERIFY(r.gauge.size() >= rising.size());
    QCOMPARE(std::vector<int>(r.gauge.end() - static_cast<long>(rising.size()), r.gauge.end()), rising);
    QVERIFY(WaitFor([&] { return !r.sound.played.empty(); }));
    QVERIFY(SoundTimerTicks(r, 3));
    QCOMPARE(r.sound.played, std::vector<std::string>{"voice//update_is_ready.wav"});
  }

  void megabyteDataMapArrivesWholeWithoutSound() {
    UpdateRun run(ModelOne());
    QVERIFY2(run.Ready(), run.Error().c_str());
    const UpdateFile file = WriteDataMap(run.Dir(), 3, 1024 * 1024);
    QVERIFY(!file.path.isEmpty());
    WindowRig r({run.Device().SlavePath()});

    QVERIFY(ConnectAndStart(r, file.path, r.window.WriteDataMapButton()));
    QVERIFY(WaitFor([&] { return !r.dialogs.boxes.empty(); }, 300s));
    QCOMPARE(r.dialogs.boxes.size(), std::size_t{1});
    QCOMPARE(r.dialogs.boxes[0].text, QString("Обновление карты данных успешно завершено!"));
    QCOMPARE(r.dialogs.boxes[0].caption, QString("ОК"));
    const SimObservations seen = run.Device().Observe();
    QVERIFY(ReceivedExactly(seen, file.bytes));
    QVERIFY(seen.endFrame.has_value());
    QCOMPARE(seen.endFrame->type, std::uint16_t{0xDA08});
    QVERIFY(seen.endFrame->crcOk);
    QCOMPARE(seen.endFrame->closingValue, file.closingValue);
    QVERIFY(r.Disconnected());
    QCOMPARE(r.gauge.back(), 0);
    QVERIFY(SoundTimerTicks(r, 3));
    QVERIFY(r.sound.played.empty());
  }

  void failureVerdicts_data() {
    QTest::addColumn<bool>("firmware");
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::vector<std::string>>("sounds");
    QTest::newRow("firmware") << true << QString("Firmware update failure")
                              << std::vector<std::string>{"voice//update_failed.wav"};
    QTest::newRow("data map")
        << false
        << QString("Провал обновления  карты данных , сбросьте устройство (откл./вкл. питание) и попробуйте снова!")
        << std::vector<std::string>{};
  }

  void failureVerdicts() {
    QFETCH(bool, firmware);
    QFETCH(QString, text);
    QFETCH(std::vector<std::string>, sounds);
    SimConfig config = ModelOne();
    config.verdict = 0;
    UpdateRun run(config);
    QVERIFY2(run.Ready(), run.Error().c_str());
    const UpdateFile file = firmware ? WriteFirmware(run.Dir(), 43, 8 * 1024) : WriteDataMap(run.Dir(), 3, 8 * 1024);
    QVERIFY(!file.path.isEmpty());
    WindowRig r({run.Device().SlavePath()});

    QVERIFY(ConnectAndStart(r, file.path, firmware ? r.window.UpdateFirmwareButton() : r.window.WriteDataMapButton()));
    QVERIFY(WaitFor([&] { return !r.dialogs.boxes.empty(); }));
    QCOMPARE(r.dialogs.boxes.size(), std::size_t{1});
    QCOMPARE(r.dialogs.boxes[0].text, text);
    QCOMPARE(r.dialogs.boxes[0].caption, QString("ERROR"));
    QVERIFY(r.Disconnected());
    QVERIFY(SoundTimerTicks(r, 3));
    QCOMPARE(r.sound.played, sounds);
  }

  // The device stops answering after block 20: each Timer2 expiry repeats that block, and the
  // sixth drops the link without a box or a sound.
  void deviceFallingSilentDropsTheLink() {
    SimConfig config = ModelOne();
    config.blockIntervalMs = 100;
    config.faults.silentAfterBlocks = 20;
    UpdateRun run(config);
    QVERIFY2(run.Ready(), run.Error().c_str());
    const UpdateFile file = WriteFirmware(run.Dir(), 43, 8 * 1024);
    QVERIFY(!file.path.isEmpty());
    WindowRig r({run.Device().SlavePath()});

    QVERIFY(ConnectAndStart(r, file.path, r.window.UpdateFirmwareButton()));
    QVERIFY(WaitFor([&] { return r.Status() == kDropped; }));
    QVERIFY(r.Disconnected());
    QVERIFY(r.dialogs.boxes.empty());
    const SimObservations seen = run.Device().Observe();
    QCOMPARE(seen.blocks.size(), std::size_t{20});
    QVERIFY(seen.resends >= 5);  // the sixth copy may be cut off by the closing port
    if (TimingChecks()) QVERIFY(seen.resends <= 6);  // none before the silence
    QVERIFY(!seen.endFrame.has_value());
    QVERIFY(SoundTimerTicks(r, 3));
    QVERIFY(r.sound.played.empty());
  }

  // The device answers block 10 with a TimeoutUpdate and its BlockRequest in one write. Both are
  // dispatched, the request after the update, so the transfer goes on without a repeat.
  void requestBehindAnotherFrameInOneReadIsDispatched() {
    SimConfig config = ModelOne();
    config.replyLength = 64;
    config.timeoutUpdate = TimeoutUpdatePlan{10, 60, 0};
    config.faults.doubleFrame = true;
    config.resendRule = ResendRule::kAlways;
    UpdateRun run(config);
    QVERIFY2(run.Ready(), run.Error().c_str());
    const UpdateFile file = WriteFirmware(run.Dir(), 43, 8 * 1024);
    QVERIFY(!file.path.isEmpty());
    WindowRig r({run.Device().SlavePath()});

    r.Click(r.window.ConnectButton());
    QVERIFY(WaitFor([&] { return r.window.UpdateFirmwareButton()->isEnabled(); }));
    const std::size_t framesAtStart = r.sink.frames;
    r.dialogs.files = {file.path};
    r.Click(r.window.UpdateFirmwareButton());
    QVERIFY(WaitFor([&] { return !r.dialogs.boxes.empty(); }));
    QCOMPARE(r.dialogs.boxes[0].text, QString("Firmware update completed successfully!"));
    const SimObservations seen = run.Device().Observe();
    QVERIFY(ReceivedExactly(seen, file.bytes));
    // A request per block, the TimeoutUpdate, and the verdict (a lone frame, sent twice: the
    // second copy meets a closed port or none).
    QVERIFY(r.sink.frames - framesAtStart >= file.bytes.size() / 64 + 2);
  }

  // The demo's controller (an intact model 1) and its samples: the newer firmware goes through
  // without a question, then the data map, each at the demo's line rate without a repeat.
  void demoDeviceTakesTheDemoSamples() {
    app::Demo demo(4 * 1024);
    const QDir samples(demo.Folder());
    WindowRig r({demo.PortPath()});

    r.Click(r.window.ConnectButton());
    QVERIFY(WaitFor([&] { return r.window.WriteDataMapButton()->isEnabled(); }));
    QCOMPARE(r.Memo(), QString("Подключено устройство: Quarnel Basis\n"
                               "\n"
                               "Версия загрузчика (bootloader):  3\n"
                               "Версия микропрограммы (firmware): 42\n"
                               "Верcия памяти данных (Data): 3\n"
                               "Верификация памяти программ:  OK\n"
                               "Верификация памяти данных:       OK"));
    QCOMPARE(r.window.Background(), QColor(169, 234, 159));
    QVERIFY(r.window.WriteDataMapButton()->isVisible());

    const QString firmware = samples.filePath("firmware-43-newer.sbin");
    r.dialogs.files = {firmware};
    r.Click(r.window.UpdateFirmwareButton());
    QVERIFY(WaitFor([&] { return !r.dialogs.boxes.empty(); }));
    QCOMPARE(r.dialogs.boxes.size(), std::size_t{1});
    QCOMPARE(r.dialogs.boxes[0].text, QString("Firmware update completed successfully!"));
    SimObservations seen = demo.Device().Observe();
    QCOMPARE(seen.blocks.size(), std::size_t{64});
    if (TimingChecks()) QCOMPARE(seen.resends, 0u);
    QVERIFY(seen.endFrame.has_value() && seen.endFrame->crcOk);
    QCOMPARE(seen.endFrame->closingValue, FirmwareClosingValue(firmware));
    QVERIFY(r.Disconnected());

    QVERIFY(ConnectAndStart(r, samples.filePath("datamap-v3.lbin"), r.window.WriteDataMapButton()));
    QVERIFY(WaitFor([&] { return r.dialogs.boxes.size() == 2; }));
    QCOMPARE(r.dialogs.boxes[1].text, QString("Обновление карты данных успешно завершено!"));
    seen = demo.Device().Observe();
    QCOMPARE(seen.blocks.size(), std::size_t{64});
    if (TimingChecks()) QCOMPARE(seen.resends, 0u);
    QVERIFY(seen.endFrame.has_value() && seen.endFrame->crcOk);
    QCOMPARE(seen.endFrame->type, std::uint16_t{0xDA08});
    QVERIFY(r.Disconnected());
  }

  // Closing the window mid-transfer ends it quietly: no box, no sound, no further block.
  void closingTheWindowMidTransfer() {
    UpdateRun run(ModelOne());
    QVERIFY2(run.Ready(), run.Error().c_str());
    const UpdateFile file = WriteFirmware(run.Dir(), 43, 1024 * 1024);
    QVERIFY(!file.path.isEmpty());
    auto r = std::make_unique<WindowRig>(std::vector<std::string>{run.Device().SlavePath()});
    const int threads = ThreadCount();

    QVERIFY(ConnectAndStart(*r, file.path, r->window.UpdateFirmwareButton()));
    QVERIFY(WaitFor([&] { return r->window.ProgressGauge()->value() >= 10; }));
    // No second file can be started into the middle of this one.
    QVERIFY(!r->window.UpdateFirmwareButton()->isEnabled());
    QVERIFY(!r->window.WriteDataMapButton()->isEnabled());
    r->window.close();
    QVERIFY(r->window.ProgressGauge()->value() < 100);
    QVERIFY(!r->link.IsOpen());
    QVERIFY(!r->app.responseTimer().IsActive());

    QVERIFY(WaitFor([&] { return ThreadCount() == threads; }, 20s));  // the link thread ended
    QVERIFY(SoundTimerTicks(*r, 2));                                  // a block already on its way has arrived by now
    const std::size_t blocks = run.Device().Observe().blocks.size();
    QVERIFY(SoundTimerTicks(*r, 5));
    QCOMPARE(run.Device().Observe().blocks.size(), blocks);
    QVERIFY(blocks < file.bytes.size() / 64);
    QVERIFY(r->dialogs.boxes.empty());
    QVERIFY(r->sound.played.empty());
    r.reset();
  }
};

QTEST_MAIN(UpdateEndToEndTest)
#include "update_e2e_test.moc"
