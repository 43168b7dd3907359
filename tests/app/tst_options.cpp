// The command line: repeatable --port, --demo, --help, --version and usage errors.
#include <QtTest>

#include "options.h"

using namespace corvane::app;

class OptionsTest : public QObject {
  Q_OBJECT

 private slots:
  void noArgumentsRunsOnTheSystemPorts() {
    const ParsedOptions p = ParseOptions({});
    QCOMPARE(p.action, OptionsAction::kRun);
    QVERIFY(p.options.ports.empty());
    QVERIFY(!p.options.demo);
  }

  void portsInTheOrderGiven() {
    const ParsedOptions p = ParseOptions({"--port", "/dev/pts/7", "--port=ttyUSB0", "--port", "/dev/pts/2"});
    QCOMPARE(p.action, OptionsAction::kRun);
    QCOMPARE(p.options.ports, (std::vector<std::string>{"/dev/pts/7", "ttyUSB0", "/dev/pts/2"}));
  }

  void demo() {
    const ParsedOptions p = ParseOptions({"--demo"});
    QCOMPARE(p.action, OptionsAction::kRun);
    QVERIFY(p.options.demo);
  }

  void helpAndVersion() {
    QCOMPARE(ParseOptions({"--help"}).action, OptionsAction::kHelp);
    QCOMPARE(ParseOptions({"--port", "/dev/x", "--help"}).action, OptionsAction::kHelp);
    QCOMPARE(ParseOptions({"--version"}).action, OptionsAction::kVersion);
    QCOMPARE(VersionText(), std::string("Corvane Programmer 1.28"));
    const std::string usage = UsageText("corvane-programmer");
    QVERIFY(usage.rfind("Usage: corvane-programmer", 0) == 0);
    for (const char* option : {"--port PATH", "--demo", "--help", "--version"})
      QVERIFY2(usage.find(option) != std::string::npos, option);
  }

  void usageErrors_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("unknown") << QStringList{"--fast"};
    QTest::newRow("unknown after good") << QStringList{"--demo", "-x"};
    QTest::newRow("positional") << QStringList{"/dev/ttyUSB0"};
    QTest::newRow("port without path") << QStringList{"--port"};
    QTest::newRow("port with empty path") << QStringList{"--port="};
    QTest::newRow("demo with port") << QStringList{"--demo", "--port", "/dev/pts/1"};
    QTest::newRow("unknown beside help") << QStringList{"--help", "--bogus"};
  }
  void usageErrors() {
    QFETCH(QStringList, args);
    std::vector<std::string> v;
    for (const auto& a : args) v.push_back(a.toStdString());
    const ParsedOptions p = ParseOptions(v);
    QCOMPARE(p.action, OptionsAction::kUsageError);
    QVERIFY(!p.error.empty());
    QCOMPARE(kUsageExitCode, 64);
  }
};

QTEST_APPLESS_MAIN(OptionsTest)
#include "tst_options.moc"
