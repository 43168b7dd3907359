// What corvane-flash writes for machines and for the production record: JSON lines that always
// parse, log records that several processes append whole, and a gang's rows on a terminal.
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>
#include <sstream>

#include "fakes.h"
#include "gang_printer.h"
#include "json_events.h"
#include "json_line.h"
#include "log_record.h"
#include "run_log.h"

using namespace corvane::cli;

namespace {

QJsonObject Parse(const std::string& line) {
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(line), &error);
  return error.error == QJsonParseError::NoError ? document.object() : QJsonObject();
}

// A child process that appends `count` records filled with `fill` and ends.
pid_t AppendInChild(const std::string& path, char fill, int count) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  RunLog log;
  std::string error;
  bool ok = log.Open(path, error);
  for (int i = 0; ok && i < count; ++i)
    ok = log.Append(JsonLine().Integer("n", i).String("fill", std::string(8192, fill)).Text(), error);
  _exit(ok ? 0 : 1);
}

}  // namespace

class RecordsTest : public QObject {
  Q_OBJECT

 private slots:
  // Quotes, backslashes and control characters are escaped; UTF-8 passes through; bytes that are
  // not UTF-8 become U+FFFD, so the line still parses and keeps the rest of the text.
  void jsonStringsAlwaysParse() {
    const std::string text = "a\"b\\c\n\r\t\x01 Провал обновления  карты \xE2\x82\xAC \xF0\x9F\x98\x80";
    QCOMPARE(Parse(JsonLine().String("t", text).Text())["t"].toString(), QString::fromUtf8(text.c_str()));
    QCOMPARE(JsonString("\x01\x1f"), std::string("\"\\u0001\\u001f\""));
    // A Latin-1 file name, an overlong slash, a surrogate, a sequence cut short.
    QCOMPARE(JsonString("caf\xE9.sbin"), std::string("\"caf\xEF\xBF\xBD.sbin\""));
    for (const char* bad : {"\xC0\xAF", "\xED\xA0\x80", "\xE2\x82"}) {
      const std::string line = JsonLine().String("t", bad).Text();
      QVERIFY2(Parse(line)["t"].toString().startsWith(QChar(0xFFFD)), line.c_str());
    }
  }

  void logRecordOfADeviceNotFound() {
    DeviceFacts device;
    device.portsTried = {"/dev/ttyUSB0", "/dev/ttyUSB1"};
    FileFacts file{"/srv/fw.sbin", false, 0, "", std::nullopt};
    RunFacts run;
    run.version = "1.28";
    run.runId = "run-1";
    run.station = "line-2";
    run.host = "bench-3";
    run.start = std::chrono::system_clock::time_point(std::chrono::milliseconds(1700000000000));
    const LogRecord record{&run, std::chrono::system_clock::time_point(std::chrono::milliseconds(1700000000123)),
                           Command::kFirmware, &device, &file, ExitStatus::kNoDevice, 0};
    const QJsonObject o = Parse(LogRecordLine(record));
    QCOMPARE(o["time"].toString(), QString("2023-11-14T22:13:20.123Z"));
    QCOMPARE(o["end_time"].toString(), QString("2023-11-14T22:13:20.123Z"));
    QCOMPARE(o["start_time"].toString(), QString("2023-11-14T22:13:20.000Z"));
    QCOMPARE(o["station"].toString(), QString("line-2"));
    QCOMPARE(o["host"].toString(), QString("bench-3"));
    QCOMPARE(o["run_id"].toString(), QString("run-1"));
    QCOMPARE(o["port"].toString(), QString(""));
    QCOMPARE(o["ports_tried"].toArray(), QJsonArray({"/dev/ttyUSB0", "/dev/ttyUSB1"}));
    QVERIFY(o["model"].isNull() && o["device_id"].isNull() && o["firmware_before"].isNull() && o["file_sha256"].isNull());
    QCOMPARE(o["result"].toString(), QString("no-device"));
    QCOMPARE(o["exit_status"].toInt(), 4);
  }

  // The device's own bytes 9..31 identify it; a record that failed its check is its own result,
  // not a failed update.
  void logRecordNamesTheDevice() {
    DeviceFacts device;
    device.port = "/dev/ttyUSB0";
    corvane::IdentificationRecord id;
    for (std::size_t i = 0; i < id.bytes.size(); ++i) id.bytes[i] = static_cast<std::uint8_t>(i * 17);
    id.bytes[0] = 0x80;  // the mark bit
    id.bytes[1] = 1;
    device.record = id;
    const LogRecord record{nullptr, {}, Command::kIdentify, &device, nullptr, ExitStatus::kSuccess, 0};
    const QJsonObject o = Parse(LogRecordLine(record));
    QCOMPARE(o["model_code"].toInt(), 1);
    QCOMPARE(o["device_id"].toString(), QString("99aabbccddeeff102132435465768798a9bacbdcedfe0f"));

    DeviceFacts rejected;
    rejected.recordRejected = true;
    const LogRecord refused{nullptr, {}, Command::kFirmware, &rejected, nullptr, ExitStatus::kUpdateFailed, 0};
    QCOMPARE(Parse(LogRecordLine(refused))["result"].toString(), QString("record-rejected"));
    QCOMPARE(Parse(LogRecordLine(refused))["exit_status"].toInt(), 1);
  }

  // A transfer of 160,000 blocks gives a progress event at block 0 and at each new percentage,
  // not one per block; the next transfer starts over.
  void progressEventsFollowThePercentage() {
    corvane::testing::EventLog log;
    corvane::testing::FakeView window(log);
    std::ostringstream out;
    JsonEvents events(out);
    TapSetup setup;
    setup.events = &events;
    DeviceTap tap(window, setup);
    tap.ShowPorts({"/dev/ttyUSB0"}, "/dev/ttyUSB0");
    for (std::uint32_t block = 0; block <= 160000; ++block) tap.ShowProgress(block, 160000);
    QCOMPARE(window.progress.size(), std::size_t{160001});  // the view still gets every block
    std::vector<std::string> lines;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    QCOMPARE(lines.size(), std::size_t{101});
    QCOMPARE(lines.front(), std::string("{\"event\":\"progress\",\"port\":\"/dev/ttyUSB0\",\"sent\":1,\"total\":160000}"));
    QCOMPARE(Parse(lines[50])["sent"].toInt(), 80001);
    QCOMPARE(Parse(lines.back())["sent"].toInt(), 160000);

    tap.ShowProgress(0, 4);
    QCOMPARE(out.str().substr(out.str().rfind('{')), std::string("{\"event\":\"progress\",\"port\":\"/dev/ttyUSB0\",\"sent\":1,\"total\":4}\n"));
  }

  // Two processes appending to one log at once leave every record whole.
  void twoProcessesAppendWholeRecords() {
    QTemporaryDir dir;
    const std::string path = dir.filePath("bench.log").toStdString();
    const pid_t a = AppendInChild(path, 'a', 1000);
    const pid_t b = AppendInChild(path, 'b', 1000);
    for (const pid_t child : {a, b}) {
      int status = 0;
      QCOMPARE(waitpid(child, &status, 0), child);
      QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    QFile file(QString::fromStdString(path));
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.size(), 2001);  // and an empty piece after the last newline
    int perFill[2] = {0, 0};
    for (int i = 0; i < 2000; ++i) {
      const QString fill = Parse(lines[i].toStdString())["fill"].toString();
      QVERIFY2(fill == QString(8192, 'a') || fill == QString(8192, 'b'), qPrintable(QString::number(i)));
      ++perFill[fill[0] == 'b'];
    }
    QCOMPARE(perFill[0], 1000);
    QCOMPARE(perFill[1], 1000);
  }

  // On a terminal the rows are drawn over themselves, and a line goes above them; elsewhere the
  // rows are never drawn.
  void rowsStayBelowTheLines() {
    std::ostringstream screen;
    GangPrinter printer(screen, true, 20);
    printer.Rows({"/dev/ttyUSB0  Quarnel Basis  sending", "/dev/ttyUSB1"});
    printer.Rows({"A", "B"});
    printer.Line(screen, "/dev/ttyUSB1: Firmware update failure");
    QCOMPARE(screen.str(), std::string("\r\x1b[2K/dev/ttyUSB0  Quarn\n\r\x1b[2K/dev/ttyUSB1\n"
                                       "\x1b[2A\r\x1b[2KA\n\r\x1b[2KB\n"
                                       "\x1b[2A\x1b[J/dev/ttyUSB1: Firmware update failure\n\r\x1b[2KA\n\r\x1b[2KB\n"));
    std::ostringstream pipe;
    GangPrinter plain(pipe, false);
    plain.Rows({"A"});
    plain.Line(pipe, "x: 10 %");
    QCOMPARE(pipe.str(), std::string("x: 10 %\n"));
    QCOMPARE(FitColumns("Провал", 3), std::string("Про"));
  }
};

QTEST_GUILESS_MAIN(RecordsTest)
#include "records_test.moc"
