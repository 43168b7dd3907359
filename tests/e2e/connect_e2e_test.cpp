// CONNECT and DISCONNECT in the real window over the real serial link, against simulated
// controllers on pseudo-terminals: which port is found, what a lost, damaged, doubled or missing
// answer does, and that a vanished device costs no CPU (many connections: soak_e2e_test.cpp).
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include "gauge.h"
#include "timing.h"
#include "expected_texts.h"
#include "window_rig.h"

using namespace corvane;
using namespace corvane::e2e;
using corvane::testing::TimingChecks;

namespace {

const QColor kLightGreen(169, 234, 159);

std::size_t IdentifyRequests(const PtyController& device) { return device.Observe().identifyRequests.size(); }

bool ThreadsBackTo(int count) {
  return WaitFor([count] { return ThreadCount() == count; }, 20s);
}

}  // namespace

class ConnectEndToEndTest : public QObject {
  Q_OBJECT

 private slots:
  // The tests keep using the window after closing it, as the program never does.
  void initTestCase() { QApplication::setQuitOnLastWindowClosed(false); }

  void findsTheDeviceOnTheSecondPortAndStartsThereNextTime() {
    std::string error;
    auto device = StartDevice(ModelOne(), &error);
    SimConfig quiet = ModelOne();
    quiet.faults.silent = true;
    auto silent = StartDevice(quiet, &error);
    QVERIFY2(device && silent, error.c_str());
    QTemporaryDir dir;
    WindowRig r({dir.filePath("missing").toStdString(), device->SlavePath(), silent->SlavePath()});

    r.Click(r.window.ConnectButton());
    QCOMPARE(r.Status(), QString("Не удалось открыть порт"));  // the first port, tried at once
    QVERIFY(WaitFor([&] { return r.Memo() == kModelOneReport; }));
    QCOMPARE(r.Status(), kConnected);
    QCOMPARE(r.window.Background(), kLightGreen);
    QVERIFY(!r.window.ConnectButton()->isEnabled());
    QVERIFY(r.window.UpdateFirmwareButton()->isEnabled());
    QVERIFY(r.window.WriteDataMapButton()->isVisible());
    QVERIFY(r.window.WriteDataMapButton()->isEnabled());
    QCOMPARE(r.window.ProgressGauge()->value(), 0);
    QVERIFY(!r.app.responseTimer().IsActive());
    // One request, unless a loaded machine read the reply only after the scan's 50 ms wait.
    if (TimingChecks()) QCOMPARE(IdentifyRequests(*device), std::size_t{1});

    r.Click(r.window.DisconnectButton());
    QVERIFY(r.Disconnected());
    QCOMPARE(r.Status(), QString("device disconnected."));

    // The port that answered last is the one the click's own step opens.
    r.Click(r.window.ConnectButton());
    QCOMPARE(r.window.PortList()->currentText(), QString::fromStdString(device->SlavePath()));
    QVERIFY(WaitFor([&] { return r.Memo() == kModelOneReport; }));
    QCOMPARE(r.Status(), kConnected);
    QVERIFY(IdentifyRequests(*device) >= 2);
  }

  // A silent port alone never uses up the retries: each scan step sends a new request, which
  // re-arms the response timer. Once the port cannot be opened any more, the request of the last
  // step runs out its retries and the scan ends.
  void silentDeviceIsScannedUntilItsPortGoesThenTheLinkDrops() {
    SimConfig quiet = ModelOne();
    quiet.faults.silent = true;
    std::string error;
    auto silent = StartDevice(quiet, &error);
    QVERIFY2(silent, error.c_str());
    // The port under a name of its own, which can be taken away as a pulled adapter's is (a
    // pseudo-terminal's own number would soon be reused).
    QTemporaryDir dir;
    const QString port = dir.filePath("ttySilent");
    QVERIFY(QFile::link(QString::fromStdString(silent->SlavePath()), port));
    WindowRig r({port.toStdString()});

    r.Click(r.window.ConnectButton());
    // Twenty steps, two seconds: well beyond the 1.2 s in which one request runs out of retries.
    QVERIFY(WaitFor([&] { return IdentifyRequests(*silent) >= 20; }));
    QCOMPARE(r.Status(), QString(" Идет сканирование портов "));
    QVERIFY(r.app.scanTimer().IsActive());
    QCOMPARE(r.window.Background(), r.window.ButtonFace());
    QVERIFY(r.Memo().isEmpty());

    QVERIFY(QFile::remove(port));  // the port is gone: no step can open it
    QVERIFY(WaitFor([&] { return r.Status() == kDropped; }));
    QVERIFY(r.Disconnected());
    QVERIFY(!r.app.scanTimer().IsActive());
    QVERIFY(!r.app.responseTimer().IsActive());
    QVERIFY(r.dialogs.boxes.empty());
  }

  // A record with a wrong CRC: the device counts as found, but nothing is reported and nothing is
  // resent. CONNECT again closes the port it holds before scanning, losing no link thread.
  void badRecordCrcIsFoundButNotReported() {
    SimConfig config = ModelOne();
    config.faults.badRecordCrc = true;
    std::string error;
    auto device = StartDevice(config, &error);
    QVERIFY2(device, error.c_str());
    WindowRig r({device->SlavePath()});
    const int threads = ThreadCount();

    r.Click(r.window.ConnectButton());
    QVERIFY(WaitFor([&] { return r.Status() == kConnected && r.sink.frames >= 1; }));
    const std::size_t requests = IdentifyRequests(*device);
    QSignalSpy ticks(&r.app.scanTimer().Qt(), &QTimer::timeout);
    QVERIFY(WaitFor([&] { return ticks.count() >= 3; }));  // the scan is done: its ticks do nothing
    QVERIFY(r.Memo().isEmpty());
    QCOMPARE(r.window.Background(), r.window.ButtonFace());
    QVERIFY(r.window.ConnectButton()->isEnabled());
    QVERIFY(!r.window.UpdateFirmwareButton()->isEnabled());
    QVERIFY(!r.window.WriteDataMapButton()->isEnabled());
    QVERIFY(!r.app.responseTimer().IsActive());
    QVERIFY(r.link.IsOpen());
    QCOMPARE(IdentifyRequests(*device), requests);
    QCOMPARE(ThreadCount(), threads);  // ports are served by the link's one I/O thread

    r.Click(r.window.ConnectButton());
    QVERIFY(WaitFor([&] { return r.Status() == kConnected; }));
    QVERIFY(IdentifyRequests(*device) > requests);
    QCOMPARE(ThreadCount(), threads);
    QVERIFY(r.Memo().isEmpty());
  }

  // A reply that arrives in two halves is joined: the first request finds the device.
  void splitReplyIsJoined() {
    SimConfig config = ModelOne();
    config.faults.splitReply = true;
    config.faults.splitPauseMs = 10;
    std::string error;
    auto device = StartDevice(config, &error);
    QVERIFY2(device, error.c_str());
    WindowRig r({device->SlavePath()});

    r.Click(r.window.ConnectButton());
    QVERIFY(WaitFor([&] { return r.Memo() == kModelOneReport; }));
    QCOMPARE(r.Status(), kConnected);
    QCOMPARE(r.sink.frames, std::size_t{1});  // the two halves as one frame
  }

  // A read holding two frames: both are dispatched, one after the other.
  void bothFramesInOneReadAreDispatched() {
    SimConfig config = ModelOne();
    config.faults.doubleFrame = true;  // the reply twice, in one write
    std::string error;
    auto device = StartDevice(config, &error);
    QVERIFY2(device, error.c_str());
    WindowRig r({device->SlavePath()});

    r.Click(r.window.ConnectButton());
    QVERIFY(WaitFor([&] { return r.sink.frames >= 2; }));
    QCOMPARE(r.Memo(), kModelOneReport);
    QSignalSpy ticks(&r.app.soundTimer().Qt(), &QTimer::timeout);
    QVERIFY(WaitFor([&] { return ticks.count() >= 2; }));  // time for a third frame to show up
    // Both copies of each reply; a loaded machine may resend the request before it reads one.
    QVERIFY(r.sink.frames <= 2 * IdentifyRequests(*device));
    if (TimingChecks()) QCOMPARE(r.sink.frames, std::size_t{2});
    QCOMPARE(r.Status(), kConnected);
  }

  // The device vanishes mid-transfer: the link stops reading its dead port, and the retries run
  // out on an idle program.
  void vanishedDeviceCostsNoCpuWhileTheRetriesRunOut() {
    SimConfig config = ModelOne();
    config.faults.vanishAfterBlocks = 40;
    std::string error;
    auto device = StartDevice(config, &error);
    QVERIFY2(device, error.c_str());
    QTemporaryDir dir;
    const UpdateFile file = WriteFirmware(dir, 43, 64 * 1024);
    QVERIFY(!file.path.isEmpty());
    WindowRig r({device->SlavePath()});

    r.Click(r.window.ConnectButton());
    QVERIFY(WaitFor([&] { return r.window.UpdateFirmwareButton()->isEnabled(); }));
    r.dialogs.files = {file.path};
    r.Click(r.window.UpdateFirmwareButton());
    QVERIFY(WaitFor([&] { return device->Observe().vanished; }));
    const double cpuAtVanish = ProcessCpuSeconds();
    QElapsedTimer wall;
    wall.start();

    QVERIFY(WaitFor([&] { return r.Status() == kDropped; }));
    const double cpu = ProcessCpuSeconds() - cpuAtVanish;
    const double elapsed = static_cast<double>(wall.elapsed()) / 1000.0;
    qInfo("from the vanish to the dropped link: %.3f s wall, %.3f s CPU", elapsed, cpu);
    QVERIFY(elapsed > 0.5);  // six expiries of the device's 232 ms, less the wait to notice
    QVERIFY(cpu < 0.3 * elapsed);
    QVERIFY(r.Disconnected());
    QVERIFY(r.dialogs.boxes.empty());
    QCOMPARE(device->Observe().blocks.size(), std::size_t{40});
  }

  // The window is closed while the link waits for a dispatch to finish: the unsupported-type box
  // is open. The link ends without waiting for the box; answering it afterwards harms nothing.
  void closingTheWindowWhileADispatchWaitsOnABox() {
    SimConfig config = ModelOne();
    config.typeWord = 0x0011;
    std::string error;
    auto device = StartDevice(config, &error);
    QVERIFY2(device, error.c_str());
    auto r = std::make_unique<WindowRig>(std::vector<std::string>{device->SlavePath()});
    const int threads = ThreadCount();

    bool linkEndedWhileOpen = false;
    r->dialogs.whileOpen = [&] {
      r->window.close();
      linkEndedWhileOpen = ThreadsBackTo(threads);
    };
    r->Click(r->window.ConnectButton());
    QVERIFY(WaitFor([&] { return !r->dialogs.boxes.empty(); }));
    QVERIFY(linkEndedWhileOpen);
    QCOMPARE(r->dialogs.boxes.size(), std::size_t{1});
    QCOMPARE(r->dialogs.boxes[0].text,
             QString("Тип подключенного прибора не поддерживается программатором, обновите ПО!"));
    QCOMPARE(r->dialogs.boxes[0].caption, QString("Ошибка"));
    QVERIFY(!r->link.IsOpen());
    QVERIFY(!r->app.responseTimer().IsActive());
    QCOMPARE(r->window.Background(), kLightGreen);  // the dispatch went on after the box
    r.reset();
    QVERIFY(ThreadsBackTo(threads - 1));  // the link's I/O thread ends with the link
  }
};

QTEST_MAIN(ConnectEndToEndTest)
#include "connect_e2e_test.moc"
