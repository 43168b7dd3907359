// corvane-flash --gang, --json and --log as scripts and production lines run them: the built
// binary against several simulated controllers on pseudo-terminals at once.
#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>
#include <cstring>
#include <map>
#include <memory>

#include "flash_tool.h"
#include "pty_device.h"

using namespace corvane;
using namespace corvane::testing;
using namespace std::chrono_literals;

namespace {

// Each line an object, or an empty list when any line is not one.
QList<QJsonObject> JsonLines(const QStringList& lines) {
  QList<QJsonObject> objects;
  for (const QString& line : lines) {
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
    if (error.error != QJsonParseError::NoError || !document.isObject()) {
      qWarning("not a JSON object: %s", qPrintable(line));
      return {};
    }
    objects.push_back(document.object());
  }
  return objects;
}

QList<QJsonObject> Events(const QList<QJsonObject>& all, const QString& name, const QString& port = {}) {
  QList<QJsonObject> found;
  for (const QJsonObject& o : all)
    if (o["event"].toString() == name && (port.isEmpty() || o["port"].toString() == port)) found.push_back(o);
  return found;
}

QStringList ReadLines(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) return {};
  QStringList lines = QString::fromUtf8(file.readAll()).split('\n');
  if (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
  return lines;
}

// Whether the device received exactly the file's blocks, in order, unchanged.
bool ReceivedExactly(const SimObservations& seen, const QByteArray& file) {
  if (seen.blocks.size() * 64 != static_cast<std::size_t>(file.size())) return false;
  for (std::size_t k = 0; k < seen.blocks.size(); ++k)
    if (std::memcmp(seen.blocks[k].data(), file.constData() + 64 * k, 64) != 0) return false;
  return true;
}

QByteArray Contents(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

}  // namespace

class GangToolTest : public QObject {
  Q_OBJECT

 private:
  std::vector<std::unique_ptr<PtyController>> devices_;
  std::unique_ptr<QTemporaryDir> dir_;

  QString StartDevice(const SimConfig& config) {
    devices_.push_back(std::make_unique<PtyController>(config));
    std::string error;
    if (!devices_.back()->Start(&error)) qFatal("pseudo-terminal: %s", error.c_str());
    return QString::fromStdString(devices_.back()->SlavePath());
  }
  static SimConfig Failing() {
    SimConfig config = Controller();
    config.verdict = 0;
    return config;
  }
  static SimConfig SilentAfter(std::uint32_t blocks, std::uint16_t intervalMs) {
    SimConfig config = Controller();
    config.blockIntervalMs = intervalMs;
    config.faults.silentAfterBlocks = blocks;
    return config;
  }

 private slots:
  void init() { dir_ = std::make_unique<QTemporaryDir>(); }
  void cleanup() {
    devices_.clear();
    dir_.reset();
  }

  // One device fails its verdict, one falls silent mid-transfer, one succeeds: each port ends on
  // its own, the exit status is the gravest, the good device got every block, and the log holds
  // one whole record per device.
  void gangOfThreeEndsEachPortOnItsOwn() {
    const QString good = StartDevice(Controller());
    const QString failing = StartDevice(Failing());
    const QString silent = StartDevice(SilentAfter(5, 30));
    const QString file = Firmware(*dir_, 1, 11, 300);
    const QString log = dir_->filePath("bench.log");
    const Run run = Flash({"--gang", "--port", good, "--port", failing, "--port", silent, "--log", log, "--station",
                           "line-2", "firmware", file});
    QVERIFY2(!run.crashed, qPrintable(run.err));
    QCOMPARE(run.exitCode, 3);

    const int summary = run.out.indexOf("Summary:");
    QVERIFY2(summary >= 0 && run.out.size() == summary + 4, qPrintable(run.out.join('\n')));
    const QStringList results = run.out.mid(summary + 1);
    // The port column is as wide as the longest name (/dev/pts/7 beside /dev/pts/10).
    QVERIFY2(results[0].startsWith(good + " ") && results[0].contains("  Quarnel Basis") && results[0].contains(" success "),
             qPrintable(results[0]));
    QVERIFY2(results[1].startsWith(failing) && results[1].contains(" update failed (1) "), qPrintable(results[1]));
    QVERIFY2(results[2].startsWith(silent) && results[2].contains(" link dropped (3) "), qPrintable(results[2]));
    // In a pipe each port's lines carry its name: its report, a line per 10 % step, its verdict.
    for (const QString& line : kModelOneReport) QVERIFY(run.out.contains(good + ": " + line));
    for (int step = 0; step <= 100; step += 10)
      QVERIFY(run.out.filter(QRegularExpression("^" + good + QString(": %1 %  \\d+/308 blocks").arg(step))).size() == 1);
    QVERIFY(run.out.contains(good + ": Firmware update completed successfully!"));
    QVERIFY(run.out.contains(failing + ": Firmware update failure"));
    QVERIFY(run.err.contains(silent + ": Произведено 5 попыток коммуникации, связь прервана!"));

    const QByteArray bytes = Contents(file);
    const SimObservations seen = devices_[0]->Observe();
    QVERIFY(ReceivedExactly(seen, bytes));
    QVERIFY(seen.endFrame && seen.endFrame->crcOk && seen.endFrame->closingValue == 0xC0FFEE01);

    const QList<QJsonObject> records = JsonLines(ReadLines(log));
    QCOMPARE(records.size(), 3);
    std::map<QString, QString> resultOf;
    for (const QJsonObject& r : records) {
      resultOf[r["port"].toString()] = r["result"].toString();
      QCOMPARE(r["file"].toString(), file);
      QCOMPARE(r["file_size"].toInt(), bytes.size());
      QCOMPARE(r["file_sha256"].toString(), QString(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex()));
      QCOMPARE(r["file_version"].toInt(), 11);
      QCOMPARE(r["model"].toString(), QString("Quarnel Basis"));
      QCOMPARE(r["firmware_before"].toInt(), 10);
      QVERIFY(r["time"].toString().endsWith('Z') && !r["host"].toString().isEmpty());
      QVERIFY(r["seconds"].isDouble());
      // Which device, when, from which station and tool: one run id for the gang's records.
      QCOMPARE(r["run_id"].toString(), records[0]["run_id"].toString());
      QCOMPARE(r["run_id"].toString().size(), 36);
      QCOMPARE(r["station"].toString(), QString("line-2"));
      QCOMPARE(r["tool"].toString(), QString("corvane-flash"));
      QCOMPARE(r["version"].toString(), QString("1.28"));
      QVERIFY(r["start_time"].toString() <= r["end_time"].toString() && r["end_time"].toString().endsWith('Z'));
      QCOMPARE(r["device_id"].toString().size(), 46);
      QCOMPARE(r["ports_tried"].toArray(), QJsonArray({r["port"]}));
    }
    QCOMPARE(resultOf, (std::map<QString, QString>{
                           {good, "success"}, {failing, "update-failed"}, {silent, "link-dropped"}}));
  }

  // --json: standard output holds nothing but the events, each with its fields; the texts go to
  // standard error, each port's with its name.
  void gangJsonEventsCarryTheirFields() {
    const QString good = StartDevice(Controller());
    SimConfig sameVersion = Controller();
    sameVersion.firmwareVersion = 11;
    const QString same = StartDevice(sameVersion);
    const Run run = Flash({"--gang", "--json", "--port", good, "--port", same, "firmware", Firmware(*dir_, 1, 11, 40)});
    QCOMPARE(run.exitCode, 2);
    const QList<QJsonObject> events = JsonLines(run.out);
    QVERIFY(!events.isEmpty());
    QCOMPARE(events.first()["event"].toString(), QString("start"));
    QCOMPARE(events.first()["command"].toString(), QString("firmware"));
    QCOMPARE(events.last()["event"].toString(), QString("exit"));
    QCOMPARE(events.last()["status"].toInt(), 2);
    QCOMPARE(events.last()["run_id"], events.first()["run_id"]);
    const QList<QJsonObject> summary = Events(events, "summary");
    QCOMPARE(summary.size(), 1);
    QCOMPARE(summary[0]["status"].toInt(), 2);
    QCOMPARE(summary[0]["ports"].toArray().size(), 2);

    for (const QString& port : {good, same}) {
      const QList<QJsonObject> found = Events(events, "found", port);
      QCOMPARE(found.size(), 1);
      QVERIFY(found[0]["by_id"].isString() && found[0]["usb_serial"].isString());
      const QList<QJsonObject> report = Events(events, "report", port);
      QCOMPARE(report.size(), 1);
      QCOMPARE(report[0]["model_code"].toInt(), 1);
      QCOMPARE(report[0]["model"].toString(), QString("Quarnel Basis"));
      QCOMPARE(report[0]["bootloader"].toInt(), 2);
      QCOMPARE(report[0]["firmware"].toInt(), port == good ? 10 : 11);
      QCOMPARE(report[0]["data"].toInt(), 1);
      QVERIFY(report[0]["program_memory_ok"].toBool() && report[0]["data_memory_ok"].toBool());
      QCOMPARE(report[0]["marked"], QJsonValue(false));
    }
    const QList<QJsonObject> progress = Events(events, "progress", good);
    QVERIFY(progress.size() >= 11);
    QCOMPARE(progress.first()["sent"].toInt(), 1);
    QCOMPARE(progress.last()["sent"].toInt(), 48);
    QCOMPARE(progress.last()["total"].toInt(), 48);
    const QList<QJsonObject> result = Events(events, "result", good);
    QCOMPARE(result.size(), 1);
    QCOMPARE(result[0]["kind"].toString(), QString("firmware"));
    QCOMPARE(result[0]["verdict"].toString(), QString("success"));
    QVERIFY(result[0]["seconds"].toDouble() >= 0);

    QCOMPARE(Events(events, "question", same),
             QList<QJsonObject>{QJsonObject({{"event", "question"}, {"port", same}, {"which", "same-firmware"}, {"answer", "no"}})});
    const QList<QJsonObject> error = Events(events, "error", same);
    QCOMPARE(error.size(), 1);
    QCOMPARE(error[0]["cause"].toString(), QString("file-refused"));
    QCOMPARE(error[0]["message"].toString(), QString("In the device already offered firmware version, want to continue?"));
    QVERIFY(Events(events, "progress", same).isEmpty() && devices_[1]->Observe().blocks.empty());

    QVERIFY(run.err.contains(good + ": " + kModelOneReport[0] + "\n"));
    QVERIFY(run.err.contains(good + ": Firmware update completed successfully!\n"));
    QVERIFY(run.err.contains("Summary:\n"));
  }

  // A single device with --json: the same events, and the human texts unchanged on standard error.
  void singleJsonAnswersTheQuestion() {
    const QString port = StartDevice(Controller());
    const Run run = Flash({"--json", "--yes", "--port", port, "firmware", Firmware(*dir_, 1, 9)});
    QCOMPARE(run.exitCode, 0);
    const QList<QJsonObject> events = JsonLines(run.out);
    QStringList names;
    for (const QJsonObject& e : events) {
      if (names.isEmpty() || names.last() != e["event"].toString()) names.push_back(e["event"].toString());
    }
    QCOMPARE(names, (QStringList{"start", "found", "report", "question", "progress", "result", "exit"}));
    QCOMPARE(events[1]["port"].toString(), port);
    QCOMPARE(Events(events, "report")[0]["device_id"].toString().size(), 46);
    QCOMPARE(Events(events, "question")[0]["which"].toString(), QString("older-firmware"));
    QCOMPARE(Events(events, "question")[0]["answer"].toString(), QString("yes"));
    QVERIFY(run.err.contains(kModelOneReport.join('\n') + "\n"));
    QVERIFY(run.err.contains("\nFirmware update completed successfully!\n"));
  }

  // A port given on which no controller answers ends at the scan timeout; the others wait for it,
  // then run to their end. One that could not be opened says why.
  void silentPortEndsAtTheScanTimeout() {
    SimConfig silentConfig = Controller();
    silentConfig.faults.silent = true;
    const QString silent = StartDevice(silentConfig);
    const QString good = StartDevice(Controller());
    const QString missing = dir_->filePath("no-such-port");
    const Run run = Flash(
        {"--gang", "--scan-timeout", "0.5", "--port", silent, "--port", good, "--port", missing, "identify"});
    QCOMPARE(run.exitCode, 0);  // the device that answered succeeded
    QVERIFY(run.err.contains(silent + ": No device answered within the scan timeout of 0.5 s.\n"));
    QVERIFY2(run.err.contains(missing + ": No device answered within the scan timeout of 0.5 s.\n" + missing +
                              ": not found\n"),
             qPrintable(run.err));
    const QStringList summary = run.out.mid(run.out.indexOf("Summary:") + 1);
    QCOMPARE(summary.size(), 3);
    QVERIFY2(summary[0].simplified() == silent + " - no device (4)", qPrintable(summary[0]));
    QVERIFY2(summary[1].simplified().startsWith(good + " Quarnel Basis") && summary[1].endsWith("success"),
             qPrintable(summary[1]));
    QVERIFY2(summary[2].simplified() == missing + " - no device (4)", qPrintable(summary[2]));
  }

  // An empty seat does not hide a failed update: the status is the failure's, and the summary
  // event names each port's result. With no device at all it is "no device", with the ports tried.
  void gangStatusIsTheWorstOfTheDevicesThatAnswered() {
    SimConfig silentConfig = Controller();
    silentConfig.faults.silent = true;
    const QString empty = StartDevice(silentConfig);
    const QString failing = StartDevice(Failing());
    // The scan time is what the device that answers needs on a loaded machine; the seat waits it out.
    const Run run = Flash({"--gang", "--json", "--scan-timeout", "3", "--port", empty, "--port", failing, "firmware",
                           Firmware(*dir_, 1, 11)});
    QCOMPARE(run.exitCode, 1);
    const QList<QJsonObject> events = JsonLines(run.out);
    const QList<QJsonObject> summary = Events(events, "summary");
    QCOMPARE(summary.size(), 1);
    QCOMPARE(summary[0]["status"].toInt(), 1);
    const QJsonArray ports = summary[0]["ports"].toArray();
    QCOMPARE(ports.size(), 2);
    QCOMPARE(ports[0].toObject()["port"].toString(), empty);
    QCOMPARE(ports[0].toObject()["result"].toString(), QString("no-device"));
    QCOMPARE(ports[1].toObject()["result"].toString(), QString("update-failed"));
    QCOMPARE(ports[1].toObject()["exit_status"].toInt(), 1);

    const Run none = Flash({"--gang", "--json", "--scan-timeout", "0.3", "--port", empty, "identify"});
    QCOMPARE(none.exitCode, 4);
    const QList<QJsonObject> errors = Events(JsonLines(none.out), "error");
    QVERIFY(!errors.isEmpty());
    QCOMPARE(errors.last()["ports_tried"].toArray(), QJsonArray({empty}));
  }

  // The file is checked once, before any port is opened.
  void refusedFileOpensNoPort() {
    const QString port = StartDevice(Controller());
    const QString broken = Write(*dir_, "broken.sbin", std::vector<std::uint8_t>(64 * 10 + 1, 0x11));
    const Run run = Flash({"--gang", "--port", port, "--port", port, "firmware", broken});
    QCOMPARE(run.exitCode, 2);
    QCOMPARE(run.err.count("641 bytes, not a whole number of 64-byte blocks"), 1);
    QVERIFY(devices_[0]->Observe().identifyRequests.empty());
  }

  // SIGTERM during two stuck transfers: every port is closed, each run ends as interrupted and
  // leaves its record.
  void terminationClosesEveryPort() {
    const QString first = StartDevice(SilentAfter(3, 0));
    const QString second = StartDevice(SilentAfter(3, 0));
    const QString log = dir_->filePath("bench.log");
    QProcess process;
    process.start(CORVANE_FLASH_PATH,
                  {"--gang", "--port", first, "--port", second, "--log", log, "firmware", Firmware(*dir_, 1, 11)});
    for (const auto& device : devices_)
      QVERIFY(device->WaitFor([](const SimObservations& o) { return o.blocks.size() >= 3; }, 20s));
    process.terminate();
    QVERIFY(process.waitForFinished(kProcessDeadlineMs));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 130);
    const QString err = QString::fromUtf8(process.readAllStandardError());
    for (const QString& port : {first, second})
      QVERIFY(err.contains(port + ": Interrupted during the transfer; the device did not receive the whole file."));
    const QList<QJsonObject> records = JsonLines(ReadLines(log));
    QCOMPARE(records.size(), 2);
    for (const QJsonObject& r : records) QCOMPARE(r["result"].toString(), QString("interrupted"));
  }
};

QTEST_GUILESS_MAIN(GangToolTest)
#include "gang_tool_test.moc"
