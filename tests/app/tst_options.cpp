// The command line of corvane-programmer: repeatable --port, --demo, help, version and mistakes.
#include <QtTest>

#include "options.h"
#include "usage_error.h"

using namespace corvane::app;
using corvane::command_line::Action;
using corvane::testing::IsUsageError;

namespace {

corvane::command_line::Parsed<Options> Parse(const QStringList& args) {
  std::vector<std::string> v;
  for (const auto& a : args) v.push_back(a.toStdString());
  return ParseOptions(v, "corvane-programmer");
}

}  // namespace

class OptionsTest : public QObject {
  Q_OBJECT

 private slots:
  void acceptedForms() {
    auto p = Parse({});
    QCOMPARE(p.outcome.action, Action::kRun);
    QVERIFY(p.options.ports.empty());
    QVERIFY(!p.options.demo);

    p = Parse({"--port", "/dev/pts/7", "--port=ttyUSB0", "--port", "/dev/pts/2"});
    QCOMPARE(p.outcome.action, Action::kRun);
    QCOMPARE(p.options.ports, (std::vector<std::string>{"/dev/pts/7", "ttyUSB0", "/dev/pts/2"}));

    p = Parse({"--demo"});
    QCOMPARE(p.outcome.action, Action::kRun);
    QVERIFY(p.options.demo);
  }

  void helpAndVersion() {
    for (const QStringList& args :
         {QStringList{"--help"}, QStringList{"-h"}, QStringList{"--port", "/dev/x", "--help"}}) {
      const auto p = Parse(args);
      QCOMPARE(p.outcome.action, Action::kHelp);
      QCOMPARE(p.outcome.text, UsageText("corvane-programmer"));
    }
    const std::string usage = UsageText("corvane-programmer");
    QVERIFY(usage.starts_with("Usage: corvane-programmer [--port PATH]... [--demo] [--trace]\n"));
    for (const char* option : {"--port PATH", "--demo", "-h, --help", "-V, --version"})
      QVERIFY2(usage.find(option) != std::string::npos, option);

    for (const QStringList& args : {QStringList{"--version"}, QStringList{"-V"}}) {
      const auto p = Parse(args);
      QCOMPARE(p.outcome.action, Action::kVersion);
      QCOMPARE(p.outcome.text, std::string("Corvane Programmer 1.28\n"));
    }
  }

  void usageErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("mistake");
    QTest::newRow("unknown") << QStringList{"--fast"} << "unknown option '--fast'";
    QTest::newRow("unknown after good") << QStringList{"--demo", "-x"} << "unknown option '-x'";
    QTest::newRow("positional") << QStringList{"/dev/ttyUSB0"} << "unexpected argument '/dev/ttyUSB0'";
    QTest::newRow("port without path") << QStringList{"--port"} << "--port needs a value";
    QTest::newRow("port with empty path") << QStringList{"--port="} << "'--port='";
    QTest::newRow("port with empty argument") << QStringList{"--port", ""} << "--port: needs a path";
    QTest::newRow("demo with port") << QStringList{"--demo", "--port", "/dev/pts/1"} << "excludes";
    QTest::newRow("demo with a value") << QStringList{"--demo=1"} << "--demo takes no value";
    QTest::newRow("unknown beside version") << QStringList{"--version", "--bogus"} << "unknown option '--bogus'";
  }
  void usageErrors() {
    QFETCH(QStringList, args);
    QFETCH(QString, mistake);
    const auto p = Parse(args);
    QCOMPARE(p.outcome.action, Action::kUsageError);
    QVERIFY2(IsUsageError(p.outcome.text, "corvane-programmer", mistake.toStdString()), p.outcome.text.c_str());
  }
};

QTEST_APPLESS_MAIN(OptionsTest)
#include "tst_options.moc"
