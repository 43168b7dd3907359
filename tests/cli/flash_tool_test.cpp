// corvane-flash as a script runs it: the built binary against the simulated controller on a
// pseudo-terminal, one case per exit status, with what it prints and what the device received.
#include <sys/stat.h>

#include <QDir>
#include <QElapsedTimer>
#include <QTest>
#include <memory>

#include "../serial/holder_child.h"
#include "flash_tool.h"
#include "line_time.h"
#include "pty_device.h"
#include "usage_error.h"

using namespace corvane;
using namespace corvane::testing;
using namespace std::chrono_literals;

class FlashToolTest : public QObject {
  Q_OBJECT

 private:
  std::unique_ptr<PtyController> device_;
  std::unique_ptr<QTemporaryDir> dir_;

  QString StartDevice(const SimConfig& config) {
    device_ = std::make_unique<PtyController>(config);
    std::string error;
    if (!device_->Start(&error)) qFatal("pseudo-terminal: %s", error.c_str());
    return QString::fromStdString(device_->SlavePath());
  }

 private slots:
  void init() { dir_ = std::make_unique<QTemporaryDir>(); }
  void cleanup() {
    device_.reset();
    dir_.reset();
  }

  // Named by a stable link (as /dev/serial/by-id has them), the port is scanned as its device.
  void identifyPrintsTheReportOnly() {
    const QString port = StartDevice(Controller());
    const QString link = dir_->filePath("usb-Corvane_Quarnel-if00-port0");
    QVERIFY(QFile::link(port, link));
    const Run run = Flash({"--port", link, "identify"});
    QVERIFY(!run.crashed);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out, kModelOneReport);
    QVERIFY(run.err.contains("The device is connected!"));
    QVERIFY2(run.err.contains("Connected on " + port + "\n"), qPrintable(run.err));
    QVERIFY(!device_->Observe().identifyRequests.empty());
  }

  // A device that answers with a record failing its check is named, and the scan does not wait
  // out its timeout.
  void rejectedRecordExitsOnePromptly() {
    SimConfig config = Controller();
    config.faults.badRecordCrc = true;
    const QString port = StartDevice(config);
    QElapsedTimer clock;
    clock.start();
    const Run run = Flash({"--scan-timeout", "120", "--port", port, "identify"});
    QCOMPARE(run.exitCode, 1);
    QVERIFY(clock.elapsed() < 60000);  // well before the scan timeout, however loaded the machine
    QVERIFY(run.out.isEmpty());
    QVERIFY2(run.err.contains("A device answered on " + port + ", but its identification record failed its check."),
             qPrintable(run.err));
  }

  // Ports named on the command line, each with its state; one that does not exist says so.
  void portsListsThePortsGiven() {
    const QString port = StartDevice(Controller());
    const QString missing = dir_->filePath("no-such-port");
    const Run run = Flash({"--port", port, "--port", missing, "--port", "/dev/null", "ports"});
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out.size(), 4);  // the header and a line per port
    QVERIFY2(run.out[1].startsWith(port + " ") && run.out[1].contains(" free "), qPrintable(run.out[1]));
    QVERIFY2(run.out[2].startsWith(missing + " ") && run.out[2].contains(" not found "), qPrintable(run.out[2]));
    // What it is comes before who holds it: no list of every process that has /dev/null open.
    QVERIFY2(run.out[3].startsWith("/dev/null ") && run.out[3].contains(" not a serial device "), qPrintable(run.out[3]));
    const Run system = Flash({"ports"});  // whatever this machine has, or a line saying there is none
    QCOMPARE(system.exitCode, 0);
    QVERIFY(!system.out.isEmpty());
  }

  // A port another process has open: the scan ends at its timeout and says who holds it.
  void busyPortNamesItsHolder() {
    const QString port = StartDevice(Controller());
    const HolderChild holder(port.toStdString(), HolderChild::Hold::kOpen, "corvane-holder");
    QVERIFY(holder.ok());
    const Run run = Flash({"--scan-timeout", "0.4", "--port", port, "identify"});
    QCOMPARE(run.exitCode, 4);
    QVERIFY2(run.err.contains("Serial ports found, but none could be opened:"), qPrintable(run.err));
    const QString held = QString("corvane-holder (pid %1)").arg(holder.pid());
    QVERIFY2(run.err.contains(port + ": busy: held by " + held), qPrintable(run.err));
    QVERIFY2(run.err.contains("Close " + held + ", or end it, and try again."), qPrintable(run.err));
    QVERIFY(device_->Observe().identifyRequests.empty());
  }

  // Piped output: the report, a line at every 10 % step, the verdict; the device got every block.
  void firmwareIsSentWithProgressLines() {
    const QString port = StartDevice(Controller());
    const QString file = Firmware(*dir_, 1, 11, 12);
    const Run run = Flash({"--port", port, "firmware", file});
    QVERIFY2(!run.crashed, qPrintable(run.err));
    QCOMPARE(run.exitCode, 0);

    QCOMPARE(run.out.mid(0, 7), kModelOneReport);
    const QStringList progress = run.out.mid(7, 11);
    QCOMPARE(progress.size(), 11);
    for (int step = 0; step <= 10; ++step)
      QVERIFY2(progress[step].startsWith(QString("%1 %  ").arg(step * 10)), qPrintable(progress[step]));
    QVERIFY2(progress.first().contains(" 1/20 blocks"), qPrintable(progress.first()));
    QVERIFY2(progress.last().contains(" 20/20 blocks"), qPrintable(progress.last()));
    QCOMPARE(run.out.mid(18), QStringList{"Firmware update completed successfully!"});

    const SimObservations seen = device_->Observe();
    QCOMPARE(seen.blocks.size(), std::size_t{20});
    QVERIFY(seen.endFrame && seen.endFrame->crcOk);
    QCOMPARE(seen.endFrame->type, std::uint16_t{0xDA06});
    QCOMPARE(seen.endFrame->closingValue, std::uint32_t{0xC0FFEE01});
  }

  // Answers handed over as real adapters do, and in two halves: identification and both
  // updates succeed with every block sent once.
  void everyDeliveryWithoutResends_data() {
    QTest::addColumn<int>("delivery");
    QTest::addColumn<bool>("split");
    for (const Delivery d : kDeliveries) QTest::newRow(DeliveryName(d)) << static_cast<int>(d) << false;
    QTest::newRow("split") << static_cast<int>(Delivery::kWhole) << true;
  }

  void everyDeliveryWithoutResends() {
    QFETCH(int, delivery);
    QFETCH(bool, split);
    SimConfig config = Controller();
    config.lineBaud = 115200;
    config.delivery = static_cast<Delivery>(delivery);
    config.faults.splitReply = split;
    config.faults.splitPauseMs = 10;  // within the 40 ms the first block's answer may take
    const QString port = StartDevice(config);
    const Run identified = Flash({"--port", port, "identify"});
    QCOMPARE(identified.exitCode, 0);
    QCOMPARE(identified.out, kModelOneReport);
    for (const QStringList& command : {QStringList{"firmware", Firmware(*dir_, 1, 11, 12)},
                                       QStringList{"data-map", DataMap(*dir_, 1, 1)}}) {
      device_->ClearObservations();
      const Run run = Flash(QStringList{"--port", port} + command);
      QVERIFY2(run.exitCode == 0, qPrintable(run.err));
      const SimObservations seen = device_->Observe();
      // A lost piece would cost a repeat for most answers (and fail the run where every answer
      // splits alike); a host on a heavily loaded machine may still miss the first block's 40 ms.
      QVERIFY2(seen.resends <= 2, qPrintable(QString::number(seen.resends)));
      QCOMPARE(seen.blocks.size(), command[0] == "firmware" ? std::size_t{20} : std::size_t{7});
      QVERIFY(seen.endFrame && seen.endFrame->crcOk);
    }
  }

  void dataMapIsSent() {
    const QString port = StartDevice(Controller());
    const Run run = Flash({"--port", port, "data-map", DataMap(*dir_, 1, 1)});
    QVERIFY(!run.crashed);
    QCOMPARE(run.exitCode, 0);
    QCOMPARE(run.out.last(), QString("Обновление карты данных успешно завершено!"));
    QVERIFY(device_->Observe().endFrame);
    QCOMPARE(device_->Observe().endFrame->closingValue, std::uint32_t{0x00ABCDEF});
  }

  void failedVerdictExitsOne_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("verdict");
    QTest::newRow("firmware") << "firmware"
                              << "Firmware update failure";
    QTest::newRow("data map") << "data-map"
                              << "Провал обновления  карты данных , сбросьте устройство (откл./вкл. питание) и "
                                 "попробуйте снова!";
  }
  void failedVerdictExitsOne() {
    QFETCH(QString, command);
    QFETCH(QString, verdict);
    SimConfig config = Controller();
    config.verdict = 0;
    const QString port = StartDevice(config);
    const QString file = command == "firmware" ? Firmware(*dir_, 1, 11) : DataMap(*dir_, 1, 1);
    const Run run = Flash({"--port", port, command, file});
    QVERIFY(!run.crashed);
    QCOMPARE(run.exitCode, 1);
    QCOMPARE(run.out.last(), verdict);
  }

  // Every refusal exits 2 before a block is sent, with the box's text on standard error.
  void refusedFilesExitTwo_data() {
    QTest::addColumn<QStringList>("arguments");  // after --port PORT; FW/MAP stand for the files
    QTest::addColumn<std::uint16_t>("deviceType");
    QTest::addColumn<QString>("message");
    QTest::newRow("firmware for another device")
        << QStringList{"firmware", "WRONG"} << std::uint16_t{1} << " The firmware is not designed for this device! ";
    QTest::newRow("same version, not confirmed") << QStringList{"firmware", "SAME"} << std::uint16_t{1}
                                                 << "In the device already offered firmware version, want to continue?";
    QTest::newRow("older version, not confirmed")
        << QStringList{"firmware", "OLDER"} << std::uint16_t{1}
        << "The device has a newer version of the firmware, you want to record the previous?";
    QTest::newRow("data map of another version")
        << QStringList{"data-map", "MAP9"} << std::uint16_t{1}
        << "Версия предлагаемой карты данных не совместима с версией прошивки устройства.";
    QTest::newRow("model without data map") << QStringList{"data-map", "MAP3"} << std::uint16_t{3}
                                            << "write data map: not offered for the connected device.";
  }
  void refusedFilesExitTwo() {
    QFETCH(QStringList, arguments);
    QFETCH(std::uint16_t, deviceType);
    QFETCH(QString, message);
    SimConfig config = Controller();
    config.typeWord = deviceType;
    const QString port = StartDevice(config);

    QString& file = arguments[1];
    if (file == "WRONG") file = Firmware(*dir_, 2, 11);
    if (file == "SAME") file = Firmware(*dir_, 1, 10);
    if (file == "OLDER") file = Firmware(*dir_, 1, 9);
    if (file == "MAP9") file = DataMap(*dir_, 1, 9);
    if (file == "MAP3") file = DataMap(*dir_, 3, 1);

    const Run run = Flash(QStringList{"--port", port} + arguments);
    QVERIFY(!run.crashed);
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(message), qPrintable(run.err));
    QCOMPARE(run.out.size(), deviceType == 1 ? 7 : 5);  // the report, nothing after it
    QVERIFY(device_->Observe().blocks.empty());
  }

  // A file that cannot be sent is refused before any port is opened, in plain words: the device
  // is never asked who it is.
  void fileCausesBeforeAnyPort_data() {
    QTest::addColumn<QString>("command");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("cause");
    QTest::newRow("missing") << "firmware" << "MISSING" << "no such file";
    QTest::newRow("directory") << "firmware" << "DIR" << "it is a directory";
    QTest::newRow("FIFO, without waiting for a writer") << "firmware" << "FIFO" << "not a regular file";
    QTest::newRow("device") << "data-map" << "/dev/zero" << "not a regular file";
    QTest::newRow("empty") << "firmware" << "EMPTY" << "the file is empty";
    QTest::newRow("too short") << "data-map" << "SHORT" << "192 bytes, shorter than the 256 bytes";
    QTest::newRow("not whole blocks") << "firmware" << "BROKEN" << "641 bytes, not a whole number of 64-byte blocks";
    QTest::newRow("too large") << "firmware" << "LARGE" << "10240064 bytes, larger than the 10240000 bytes";
    QTest::newRow("corrupted header") << "firmware" << "HEADER" << "its header is corrupted";
    if (::geteuid() != 0) QTest::newRow("unreadable") << "firmware" << "LOCKED" << "permission denied";
  }
  void fileCausesBeforeAnyPort() {
    QFETCH(QString, command);
    QFETCH(QString, file);
    QFETCH(QString, cause);
    const QString port = StartDevice(Controller());
    if (file == "MISSING") file = dir_->filePath("missing.sbin");
    if (file == "DIR") file = dir_->path();
    if (file == "FIFO") {
      file = dir_->filePath("fifo.sbin");
      QVERIFY(::mkfifo(file.toLocal8Bit().constData(), 0600) == 0);
    }
    if (file == "EMPTY") file = Write(*dir_, "empty.sbin", {});
    if (file == "SHORT") file = Write(*dir_, "short.lbin", std::vector<std::uint8_t>(192, 0x11));
    if (file == "BROKEN") file = Write(*dir_, "broken.sbin", std::vector<std::uint8_t>(64 * 10 + 1, 0x11));
    if (file == "LARGE") {
      file = dir_->filePath("large.sbin");
      QFile big(file);
      QVERIFY(big.open(QIODevice::WriteOnly) && big.resize(10'240'064));
    }
    if (file == "HEADER") file = Write(*dir_, "header.sbin", std::vector<std::uint8_t>(64 * 10, 0x11));
    if (file == "LOCKED") {
      file = Firmware(*dir_, 1, 11);
      QVERIFY(::chmod(file.toLocal8Bit().constData(), 0) == 0);
    }
    const Run run = Flash({"--port", port, command, file});
    QCOMPARE(run.exitCode, 2);
    QVERIFY(run.out.isEmpty());
    const QString what = command == "firmware" ? "The firmware file " : "The data map file ";
    QVERIFY2(run.err.contains(what + QFileInfo(file).absoluteFilePath() + " cannot be sent: " + cause),
             qPrintable(run.err));
    QVERIFY(!run.err.contains("corrupted!"));  // the window's words are not the cause
    QVERIFY(device_->Observe().identifyRequests.empty());
  }

  // The data map's messages name the file in full, however it was given.
  void messagesNameTheFileInFull() {
    const QString port = StartDevice(Controller());
    const QString file = DataMap(*dir_, 1, 9);
    const Run run = Flash({"--port", port, "data-map", QDir::current().relativeFilePath(file)});
    QCOMPARE(run.exitCode, 2);
    QVERIFY2(run.err.contains(QFileInfo(file).absoluteFilePath() + " \n"), qPrintable(run.err));
  }

  // A reader that goes away after one line, or a full disk: the transfer still runs to its end,
  // the exit status is the device's result, and standard error says that output was lost.
  void lostOutputNeverStopsTheTransfer() {
    for (const bool closedPipe : {true, false}) {
      const QString port = StartDevice(Controller());
      const QStringList flash{CORVANE_FLASH_PATH, "--port", port, "firmware", Firmware(*dir_, 1, 11, 200)};
      QProcess process;
      if (closedPipe) {
        // As a shell runs `corvane-flash ... | head -1`, with corvane-flash's own exit status.
        process.start("bash", QStringList{"-c", "\"$0\" \"$@\" | head -1 >/dev/null; exit ${PIPESTATUS[0]}"} + flash);
      } else {
        process.setStandardOutputFile("/dev/full");
        process.start(flash.first(), flash.mid(1));
      }
      QVERIFY(process.waitForFinished(kProcessDeadlineMs));
      QCOMPARE(process.exitStatus(), QProcess::NormalExit);
      QCOMPARE(process.exitCode(), 0);
      QVERIFY(QString::fromUtf8(process.readAllStandardError()).contains("Standard output could not be written"));
      QCOMPARE(device_->Observe().blocks.size(), std::size_t{208});
    }
  }

  // A device that paces with interval 0 and then falls silent is not waited for forever.
  void idleTimeoutEndsASilentTransfer() {
    SimConfig config = Controller();
    config.blockIntervalMs = 0;
    config.faults.silentAfterBlocks = 3;
    const QString port = StartDevice(config);
    const Run run = Flash({"--idle-timeout", "0.5", "--port", port, "firmware", Firmware(*dir_, 1, 11)});
    QCOMPARE(run.exitCode, 3);
    QVERIFY2(run.err.contains("Nothing came from the device for 0.5 s; the port is closed."), qPrintable(run.err));
  }

  void yesAnswersTheQuestion() {
    const QString port = StartDevice(Controller());
    const Run run = Flash({"--port", port, "--yes", "firmware", Firmware(*dir_, 1, 9)});
    QCOMPARE(run.exitCode, 0);
    QVERIFY(run.err.contains("The device has a newer version of the firmware, you want to record the previous?"));
    QCOMPARE(run.out.last(), QString("Firmware update completed successfully!"));
  }

  // Six expiries drop the link; an interval whose low byte is 0 (256) is waited for in whole.
  // With --trace each resend is on standard error with its count; without it no trace line is.
  void deviceSilentMidTransferExitsThree_data() {
    QTest::addColumn<int>("interval");
    QTest::addColumn<bool>("trace");
    QTest::newRow("30 ms, traced") << 30 << true;
    QTest::newRow("256 ms") << 256 << false;
  }
  void deviceSilentMidTransferExitsThree() {
    QFETCH(int, interval);
    QFETCH(bool, trace);
    SimConfig config = Controller();
    config.blockIntervalMs = static_cast<std::uint16_t>(interval);
    config.faults.silentAfterBlocks = 5;
    const QString port = StartDevice(config);
    const QStringList traced = trace ? QStringList{"--trace"} : QStringList{};
    const Run run = Flash(traced + QStringList{"--port", port, "firmware", Firmware(*dir_, 1, 11)});
    QCOMPARE(run.err.contains("corvane.frames: Timer2 expired: request resent, retry 1\n"), trace);
    QCOMPARE(run.err.contains("retry 5\n"), trace);
    QCOMPARE(run.err.contains("corvane."), trace);
    QVERIFY(!run.out.join('\n').contains("corvane."));
    QVERIFY(!run.crashed);
    QCOMPARE(run.exitCode, 3);
    QVERIFY2(run.err.contains("Произведено 5 попыток коммуникации, связь прервана!"), qPrintable(run.err));
    QVERIFY(run.out.size() > 7);
    QVERIFY(run.out.last().contains(" %  "));  // progress stopped short; no verdict
    QVERIFY(!run.out.last().startsWith("100 %"));
  }

  // An adapter pulled mid-transfer ends the run at its hang-up with the cause, not after the
  // retries (which at a 2 s interval would take 12 s).
  void vanishedPortEndsTheRunAtOnce() {
    SimConfig config = Controller();
    config.blockIntervalMs = 2000;
    config.faults.vanishAfterBlocks = 5;
    const QString port = StartDevice(config);
    const Run run = Flash({"--port", port, "firmware", Firmware(*dir_, 1, 11)});
    QVERIFY(!run.crashed);
    QCOMPARE(run.exitCode, 3);
    QVERIFY2(run.err.contains("The port " + port + " went away (hang-up): was the adapter unplugged?"), qPrintable(run.err));
    QVERIFY(!run.err.contains("Произведено 5 попыток коммуникации, связь прервана!"));
    QVERIFY(!run.err.contains("QIODevice"));
  }

  // A stuck transfer (interval 0: the response timer never fires) ended by SIGTERM: the run
  // ends in order, says the file did not get through, and exits 130.
  void terminationSignalEndsAStuckTransfer() {
    SimConfig config = Controller();
    config.blockIntervalMs = 0;
    config.faults.silentAfterBlocks = 3;
    const QString port = StartDevice(config);
    QProcess process;
    // The scan may take its time on a loaded machine (each step waits only 50 ms for the reply).
    process.start(CORVANE_FLASH_PATH, {"--scan-timeout", "120", "--port", port, "firmware", Firmware(*dir_, 1, 11)});
    QVERIFY(device_->WaitFor([](const SimObservations& o) { return o.blocks.size() >= 3; }, 120s));
    process.terminate();
    QVERIFY(process.waitForFinished(kProcessDeadlineMs));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 130);
    QVERIFY(QString::fromUtf8(process.readAllStandardError())
                .contains("Interrupted during the transfer; the device did not receive the whole file."));
  }

  // A silent device and a path that cannot be opened: the scan ends at its timeout.
  void silentScanEndsAtTheTimeout() {
    SimConfig config = Controller();
    config.faults.silent = true;
    const QString port = StartDevice(config);
    QElapsedTimer clock;
    clock.start();
    // Long enough for the two scan steps that try both ports, however loaded the machine.
    const Run run =
        Flash({"--scan-timeout", "3", "--port", port, "--port", dir_->filePath("no-such-port"), "identify"});
    QVERIFY(!run.crashed);
    QCOMPARE(run.exitCode, 4);
    QVERIFY(clock.elapsed() >= 3000);
    QVERIFY(run.out.isEmpty());
    QVERIFY(run.err.contains("Не удалось открыть порт"));
    // Why: the silent port opened, the other one is not there; the ports that exist are named.
    QVERIFY2(run.err.contains("No device answered within the scan timeout of 3 s.\nPorts opened, but no device "
                              "answered on: " + port + "\nPorts that could not be opened:\n  " +
                              dir_->filePath("no-such-port") + ": not found\n"),
             qPrintable(run.err));
    QVERIFY(run.err.contains("Serial ports present: ") || run.err.contains("No serial ports are present."));
    // Both ports were tried.
    QVERIFY(!device_->Observe().identifyRequests.empty());
  }

  void unsupportedDeviceExitsFive() {
    SimConfig config = Controller();
    config.typeWord = 0x8011;
    const QString port = StartDevice(config);
    const Run run = Flash({"--port", port, "firmware", Firmware(*dir_, 0x11, 1)});
    QVERIFY(!run.crashed);
    QCOMPARE(run.exitCode, 5);
    QVERIFY(run.out.isEmpty());
    QVERIFY(run.err.contains("Тип подключенного прибора не поддерживается программатором, обновите ПО!"));
    QVERIFY(device_->Observe().blocks.empty());
  }

  void usageErrorExitsSixtyFour() {
    const Run run = Flash({"--scan-timeout", "ten", "identify"});
    QCOMPARE(run.exitCode, 64);
    QVERIFY(run.out.isEmpty());
    QVERIFY2(testing::IsUsageError(run.err.toStdString(), "corvane-flash", "--scan-timeout"), qPrintable(run.err));
  }

  void helpAndVersion() {
    const Run help = Flash({"--help"});
    QCOMPARE(help.exitCode, 0);
    QVERIFY(help.out.contains("  corvane-flash [--port PATH]... [--scan-timeout SEC] [--idle-timeout SEC] [--yes] firmware FILE.sbin"));
    const Run version = Flash({"--version"});
    QCOMPARE(version.exitCode, 0);
    QCOMPARE(version.out.size(), 1);
    QVERIFY(version.out.first().startsWith("corvane-flash "));
  }
};

QTEST_GUILESS_MAIN(FlashToolTest)
#include "flash_tool_test.moc"
