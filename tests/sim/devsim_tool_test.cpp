// corvane-devsim as a user runs it: its knobs, its exit codes, and a controller on the printed path.
#include <QDir>
#include <QProcess>
#include <QSet>
#include <unistd.h>

#include <chrono>
#include <QTest>

#include "host_port.h"
#include "identification.h"
#include "mt_random.h"
#include "scrambler.h"
#include "usage_error.h"

using namespace corvane;
using corvane::testing::HostPort;
using corvane::testing::IsUsageError;
using corvane::testing::kDeadline;

namespace {

constexpr int kWaitMs = std::chrono::milliseconds(kDeadline).count();

// Reads one whole line of the process's output, waiting up to the deadline for it.
QString ReadLine(QProcess& process) {
  QElapsedTimer timer;
  timer.start();
  while (!process.canReadLine() && timer.elapsed() < kWaitMs) process.waitForReadyRead(100);
  return QString::fromUtf8(process.readLine()).trimmed();
}

// What the open descriptors of process `pid` point at.
QStringList OpenFiles(qint64 pid) {
  QStringList targets;
  const QString folder = QString("/proc/%1/fd").arg(pid);
  for (const QString& fd : QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot)) {
    char target[256];
    const ssize_t n = ::readlink(QFile::encodeName(folder + '/' + fd).constData(), target, sizeof target - 1);
    if (n > 0) targets << QString::fromLocal8Bit(target, n);
  }
  return targets;
}

}  // namespace

class DevsimToolTest : public QObject {
  Q_OBJECT

 private slots:
  void helpDocumentsEveryKnob() {
    QProcess process;
    process.start(CORVANE_DEVSIM_PATH, {"-h"});
    QVERIFY(process.waitForFinished(kWaitMs));
    QCOMPARE(process.exitCode(), 0);
    const QString text = QString::fromUtf8(process.readAllStandardOutput());
    for (const char* knob : {"--count",
                             "--baud",
                             "--type",
                             "--bootloader",
                             "--firmware",
                             "--data-version",
                             "--program-check",
                             "--data-check",
                             "--record-tail",
                             "--interval",
                             "--timeout-update-after",
                             "--verdict",
                             "--blocks",
                             "--reply-length",
                             "--strict-resends",
                             "--seed",
                             "--silent",
                             "--bad-frame-crc",
                             "--bad-record-crc",
                             "--split",
                             "--double",
                             "--garbage",
                             "--answer-after",
                             "--vanish-after-blocks",
                             "--silent-after-blocks",
                             "--help",
                             "--version"})
      QVERIFY2(text.contains(knob), knob);

    process.start(CORVANE_DEVSIM_PATH, {"--version"});
    QVERIFY(process.waitForFinished(kWaitMs));
    QCOMPARE(process.exitCode(), 0);
    QCOMPARE(process.readAllStandardOutput(), QByteArray("corvane-devsim 1.28\n"));
  }

  void badArgumentsExitWithUsage_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QString>("mistake");
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << "unknown option '--frobnicate'";
    QTest::newRow("operand") << QStringList{"/dev/pts/3"} << "unexpected argument '/dev/pts/3'";
    QTest::newRow("type too wide") << QStringList{"--type", "0x10000"} << "--type: takes a number 0..65535";
    QTest::newRow("bootloader too big") << QStringList{"--bootloader=256"} << "--bootloader: takes a number 0..255";
    QTest::newRow("missing value") << QStringList{"--interval"} << "--interval needs a value";
    QTest::newRow("bad verdict") << QStringList{"--verdict", "maybe"} << "--verdict: takes ok, fail or a number";
    QTest::newRow("timeout update without interval")
        << QStringList{"--timeout-update-after", "3"} << "--timeout-update-after: takes K:MS";
    QTest::newRow("reply length off the word") << QStringList{"--reply-length", "18"} << "--reply-length";
    QTest::newRow("record tail too long") << QStringList{"--record-tail", QString(48, '0')} << "--record-tail";
    QTest::newRow("no controller") << QStringList{"--count", "0"} << "--count: takes a number 1..64";
    QTest::newRow("flag with a value") << QStringList{"--silent=1"} << "--silent takes no value";
  }
  void badArgumentsExitWithUsage() {
    QFETCH(QStringList, arguments);
    QFETCH(QString, mistake);
    QProcess process;
    process.start(CORVANE_DEVSIM_PATH, arguments);
    QVERIFY(process.waitForFinished(kWaitMs));
    QCOMPARE(process.exitCode(), 64);
    QVERIFY(process.readAllStandardOutput().isEmpty());
    const std::string err = process.readAllStandardError().toStdString();
    QVERIFY2(IsUsageError(err, "corvane-devsim", mistake.toStdString()), err.c_str());
  }

  void answersOnThePrintedPathUntilTerminated() {
    QProcess process;
    process.start(CORVANE_DEVSIM_PATH, {"--type", "0x8003", "--firmware", "513", "--verdict", "fail"});
    const QString path = ReadLine(process);
    QVERIFY2(path.startsWith("/dev/"), qPrintable(path));

    HostPort host(path.toStdString());
    QVERIFY(host.IsOpen());
    QVERIFY(host.Write(BuildIdentifyRequest(1, {9, 8, 7, 6})));
    const auto reply = host.Read(64);
    QCOMPARE(reply.size(), std::size_t{64});
    const auto record = DecodeIdentifyReply(reply.data());
    QVERIFY(record);
    QCOMPARE(record->TypeWord(), std::uint16_t{0x8003});
    QCOMPARE(record->InstalledFirmwareVersion(), std::uint16_t{513});

    Frame block{};
    block.fill(0x42);
    QVERIFY(host.Write(block));
    QCOMPARE(host.Read(16).size(), std::size_t{16});
    MersenneRandom random(1);
    QVERIFY(host.Write(BuildEndFrame(TransferKind::kFirmware, 0x01020304, random)));
    const auto result = host.Read(16);
    QCOMPARE(result.size(), std::size_t{16});
    QCOMPARE(result[kVerdictOffset], std::uint8_t{0});
    const QString summary = ReadLine(process);
    QVERIFY2(summary.contains("FirmwareEnd") && summary.contains("1 blocks") && summary.contains("0x01020304"),
             qPrintable(summary));

    process.terminate();
    QVERIFY(process.waitForFinished(kWaitMs));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
  }

  // A gang of three on paths of their own, each answering at the line's pace. None of them holds
  // its port open: a check for other holders of a port must find only the host.
  void countStartsControllersOnPathsOfTheirOwn() {
    QProcess process;
    process.start(CORVANE_DEVSIM_PATH, {"--count", "3", "--baud", "9600", "--firmware", "7"});
    QStringList paths;
    for (int i = 0; i < 3; ++i) paths << ReadLine(process);
    QCOMPARE(QSet<QString>(paths.begin(), paths.end()).size(), qsizetype(3));

    const QStringList held = OpenFiles(process.processId());
    QVERIFY2(held.contains("/dev/ptmx"), qPrintable(held.join(' ')));
    for (const QString& path : paths) QVERIFY2(!held.contains(path), qPrintable(path));

    const auto lineTime = std::chrono::microseconds((kIdentifyRequestSize + kFrameSize) * 10 * 1'000'000 / 9600);
    for (const QString& path : paths) {
      QVERIFY2(path.startsWith("/dev/"), qPrintable(path));
      HostPort host(path.toStdString());
      QVERIFY(host.IsOpen());
      const auto sent = std::chrono::steady_clock::now();
      QVERIFY(host.Write(BuildIdentifyRequest(1, {9, 8, 7, 6})));
      const auto reply = host.Read(64);
      const auto took = std::chrono::steady_clock::now() - sent;
      QVERIFY2(took >= lineTime, qPrintable(QString("%1: %2 µs, %3 bytes")
                                                .arg(path)
                                                .arg(std::chrono::duration_cast<std::chrono::microseconds>(took).count())
                                                .arg(reply.size())));
      QCOMPARE(reply.size(), std::size_t{64});
      const auto record = DecodeIdentifyReply(reply.data());
      QVERIFY(record);
      QCOMPARE(record->InstalledFirmwareVersion(), std::uint16_t{7});
    }

    process.terminate();
    QVERIFY(process.waitForFinished(kWaitMs));
    QCOMPARE(process.exitCode(), 0);
  }
};

QTEST_GUILESS_MAIN(DevsimToolTest)
#include "devsim_tool_test.moc"
