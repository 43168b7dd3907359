// The corvane-programmer binary: its command line, and an orderly end on a termination signal
// that removes the demo's files.
#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <csignal>

#include "termination_signals.h"
#include "usage_error.h"

using corvane::qt::TerminationSignals;
using corvane::testing::IsUsageError;

namespace {

QProcessEnvironment Headless(const QString& tmp = {}, const QString& platform = "offscreen") {
  QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
  env.insert("QT_QPA_PLATFORM", platform);
  if (!tmp.isEmpty()) env.insert("TMPDIR", tmp);
  return env;
}

struct Result {
  int code = -1;
  QString out, err;
};

Result Run(const QStringList& args, const QString& platform = "offscreen") {
  QProcess p;
  p.setProcessEnvironment(Headless({}, platform));
  p.start(CORVANE_PROGRAMMER, args);
  if (!p.waitForFinished(30000)) {
    p.kill();
    p.waitForFinished();
  }
  return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardOutput()),
          QString::fromUtf8(p.readAllStandardError())};
}

}  // namespace

class ProgramTest : public QObject {
  Q_OBJECT

 private slots:
  // --help and --version answer before the toolkit starts: with no usable platform plugin they
  // still work. A mistake is one line after the toolkit has taken its own options.
  void commandLine() {
    Result r = Run({"--version"}, "no-such-platform");
    QCOMPARE(r.code, 0);
    QCOMPARE(r.out, QString("Corvane Programmer 1.28\n"));

    r = Run({"-h"}, "no-such-platform");
    QCOMPARE(r.code, 0);
    QVERIFY(r.out.startsWith("Usage: corvane-programmer [--port PATH]... [--demo] [--trace]\n"));

    r = Run({"-platform", "offscreen", "--speed", "fast"});
    QCOMPARE(r.code, 64);
    const QString ours = r.err.mid(r.err.indexOf("corvane-programmer: "));  // after any toolkit warning
    QVERIFY2(IsUsageError(ours.toStdString(), "corvane-programmer", "unknown option '--speed'"), qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
  }

  void signalRunsTheHandlerOnTheEventLoop() {
    int calls = 0;
    TerminationSignals watch([&calls] { ++calls; });
    QVERIFY(::raise(SIGTERM) == 0);
    QTRY_COMPARE_WITH_TIMEOUT(calls, 1, 5000);
    QVERIFY(::raise(SIGINT) == 0);
    QTRY_COMPARE_WITH_TIMEOUT(calls, 2, 5000);
  }

  void demoEndsInOrderOnSigterm() {
    QTemporaryDir tmp;
    QVERIFY(tmp.isValid());
    QProcess p;
    p.setProcessEnvironment(Headless(tmp.path()));
    p.start(CORVANE_PROGRAMMER, {"--demo"});
    QVERIFY(p.waitForStarted(10000));
    // Up once the four sample files are there.
    auto samples = [&tmp] {
      const QStringList dirs = QDir(tmp.path()).entryList({"corvane-programmer-*"}, QDir::Dirs);
      return dirs.isEmpty() ? 0 : int(QDir(tmp.filePath(dirs.front())).entryList(QDir::Files).size());
    };
    QTRY_COMPARE_WITH_TIMEOUT(samples(), 4, 20000);
    p.terminate();  // SIGTERM
    QVERIFY(p.waitForFinished(20000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QVERIFY(QDir(tmp.path()).entryList({"corvane-programmer-*"}, QDir::Dirs).isEmpty());
  }
};

QTEST_MAIN(ProgramTest)
#include "tst_program.moc"
