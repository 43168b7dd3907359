// The command line of corvane-flash: what is accepted, what is a usage error, and the seconds.
#include <QTest>

#include "cli_options.h"

using namespace corvane::cli;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(std::vector<std::string>)

class OptionsTest : public QObject {
  Q_OBJECT

 private slots:
  void takesEachCommandWithItsOptions() {
    ParsedCli p = ParseCliOptions(
        {"--port", "/dev/ttyUSB1", "--port=/dev/pts/3", "--scan-timeout", "2.5", "--yes", "firmware", "new.sbin"});
    QCOMPARE(int(p.action), int(CliAction::kRun));
    QCOMPARE(int(p.options.command), int(Command::kFirmware));
    QCOMPARE(p.options.file, std::string("new.sbin"));
    QCOMPARE(p.options.ports, (std::vector<std::string>{"/dev/ttyUSB1", "/dev/pts/3"}));
    QCOMPARE(p.options.scanTimeout, 2500ms);
    QVERIFY(p.options.yes);

    p = ParseCliOptions({"identify"});
    QCOMPARE(int(p.action), int(CliAction::kRun));
    QCOMPARE(int(p.options.command), int(Command::kIdentify));
    QVERIFY(p.options.ports.empty());
    QCOMPARE(p.options.scanTimeout, 10000ms);
    QVERIFY(!p.options.yes);

    // Options after the command, and a file that looks like an option after "--".
    p = ParseCliOptions({"data-map", "--scan-timeout=1", "--", "-odd.lbin"});
    QCOMPARE(int(p.action), int(CliAction::kRun));
    QCOMPARE(int(p.options.command), int(Command::kDataMap));
    QCOMPARE(p.options.file, std::string("-odd.lbin"));
    QCOMPARE(p.options.scanTimeout, 1000ms);
  }

  void helpAndVersionWin() {
    QCOMPARE(int(ParseCliOptions({"--help"}).action), int(CliAction::kHelp));
    QCOMPARE(int(ParseCliOptions({"--frobnicate", "--help"}).action), int(CliAction::kHelp));
    QCOMPARE(int(ParseCliOptions({"--version"}).action), int(CliAction::kVersion));
  }

  void usageErrors_data() {
    QTest::addColumn<std::vector<std::string>>("args");
    QTest::newRow("nothing") << std::vector<std::string>{};
    QTest::newRow("unknown command") << std::vector<std::string>{"erase"};
    QTest::newRow("unknown option") << std::vector<std::string>{"-p", "/dev/ttyS0", "identify"};
    QTest::newRow("firmware without file") << std::vector<std::string>{"firmware"};
    QTest::newRow("two files") << std::vector<std::string>{"data-map", "a.lbin", "b.lbin"};
    QTest::newRow("port without value") << std::vector<std::string>{"identify", "--port"};
    QTest::newRow("zero timeout") << std::vector<std::string>{"--scan-timeout", "0", "identify"};
    QTest::newRow("yes for a data map") << std::vector<std::string>{"--yes", "data-map", "m.lbin"};
  }
  void usageErrors() {
    QFETCH(std::vector<std::string>, args);
    const ParsedCli p = ParseCliOptions(args);
    QCOMPARE(int(p.action), int(CliAction::kUsageError));
    QVERIFY(!p.error.empty());
  }

  void secondsAcceptDecimalsOnly_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("ms");  // -1: refused
    QTest::newRow("whole") << "10" << 10000;
    QTest::newRow("half") << "0.5" << 500;
    QTest::newRow("no leading digit") << ".25" << 250;
    QTest::newRow("below a millisecond rounds up") << "0.0001" << 1;
    QTest::newRow("a day") << "86400" << 86400000;
    QTest::newRow("beyond a day") << "86400.001" << -1;
    QTest::newRow("zero") << "0.000" << -1;
    QTest::newRow("exponent") << "1e3" << -1;
    QTest::newRow("two dots") << "1.2.3" << -1;
  }
  void secondsAcceptDecimalsOnly() {
    QFETCH(QString, text);
    QFETCH(int, ms);
    std::chrono::milliseconds out{-5};
    const bool ok = ParseSeconds(text.toStdString(), out);
    QCOMPARE(ok, ms >= 0);
    if (ok) QCOMPARE(out.count(), std::chrono::milliseconds::rep{ms});
  }
};

QTEST_GUILESS_MAIN(OptionsTest)
#include "options_test.moc"
