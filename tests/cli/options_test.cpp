// The command line of corvane-flash: each command with its options, help, version and mistakes.
#include <QTest>

#include "cli_options.h"
#include "usage_error.h"

using namespace corvane::cli;
using corvane::command_line::Action;
using corvane::testing::IsUsageError;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(std::vector<std::string>)

class OptionsTest : public QObject {
  Q_OBJECT

 private slots:
  void takesEachCommandWithItsOptions() {
    auto p = ParseCliOptions(
        {"--port", "/dev/ttyUSB1", "--port=/dev/pts/3", "--scan-timeout", "2.5", "--yes", "firmware", "new.sbin"});
    QCOMPARE(int(p.outcome.action), int(Action::kRun));
    QCOMPARE(int(p.options.command), int(Command::kFirmware));
    QCOMPARE(p.options.file, std::string("new.sbin"));
    QCOMPARE(p.options.ports, (std::vector<std::string>{"/dev/ttyUSB1", "/dev/pts/3"}));
    QCOMPARE(p.options.scanTimeout, 2500ms);
    QVERIFY(p.options.yes);

    p = ParseCliOptions({"identify"});
    QCOMPARE(int(p.outcome.action), int(Action::kRun));
    QCOMPARE(int(p.options.command), int(Command::kIdentify));
    QVERIFY(p.options.ports.empty());
    QCOMPARE(p.options.scanTimeout, 10000ms);
    QVERIFY(!p.options.yes);

    QVERIFY(!p.options.gang && !p.options.json && p.options.log.empty() && !p.options.trace);

    p = ParseCliOptions({"ports", "--trace", "--port", "/dev/serial/by-id/usb-x"});
    QCOMPARE(int(p.outcome.action), int(Action::kRun));
    QCOMPARE(int(p.options.command), int(Command::kPorts));
    QVERIFY(p.options.trace);
    QCOMPARE(p.options.ports, std::vector<std::string>{"/dev/serial/by-id/usb-x"});

    p = ParseCliOptions({"--gang", "data-map", "m.lbin", "--json", "--log", "bench.log"});
    QCOMPARE(int(p.outcome.action), int(Action::kRun));
    QVERIFY(p.options.gang && p.options.json);
    QCOMPARE(p.options.log, std::string("bench.log"));

    // Options after the command, and a file that looks like an option after "--".
    p = ParseCliOptions({"data-map", "--scan-timeout=1", "--port", "/dev/pts/9", "--", "-odd.lbin"});
    QCOMPARE(int(p.outcome.action), int(Action::kRun));
    QCOMPARE(int(p.options.command), int(Command::kDataMap));
    QCOMPARE(p.options.file, std::string("-odd.lbin"));
    QCOMPARE(p.options.scanTimeout, 1000ms);
    QCOMPARE(p.options.ports, std::vector<std::string>{"/dev/pts/9"});

    p = ParseCliOptions({"firmware", "old.sbin", "--yes"});
    QCOMPARE(int(p.outcome.action), int(Action::kRun));
    QVERIFY(p.options.yes);
  }

  void helpAndVersion() {
    for (const auto& args : {std::vector<std::string>{"--help"}, {"-h"}, {"identify", "--help"}}) {
      const auto p = ParseCliOptions(args);
      QCOMPARE(int(p.outcome.action), int(Action::kHelp));
      QCOMPARE(p.outcome.text, CliUsage());
    }
    for (const auto& args : {std::vector<std::string>{"--version"}, {"-V"}}) {
      const auto p = ParseCliOptions(args);
      QCOMPARE(int(p.outcome.action), int(Action::kVersion));
      QCOMPARE(p.outcome.text, std::string("corvane-flash 1.28\n"));
    }
  }

  void usageErrors_data() {
    QTest::addColumn<std::vector<std::string>>("args");
    QTest::addColumn<QString>("mistake");
    QTest::newRow("nothing") << std::vector<std::string>{} << "missing command";
    QTest::newRow("unknown command") << std::vector<std::string>{"erase"} << "unknown command 'erase'";
    QTest::newRow("unknown option") << std::vector<std::string>{"-p", "/dev/ttyS0", "identify"}
                                    << "unknown option '-p'";
    QTest::newRow("unknown beside help") << std::vector<std::string>{"--frobnicate", "--help"}
                                         << "unknown option '--frobnicate'";
    QTest::newRow("firmware without file") << std::vector<std::string>{"firmware"} << "FILE is required";
    QTest::newRow("empty file") << std::vector<std::string>{"firmware", ""} << "needs a path";
    QTest::newRow("two files") << std::vector<std::string>{"data-map", "a.lbin", "b.lbin"}
                               << "unexpected argument 'b.lbin'";
    QTest::newRow("file for identify") << std::vector<std::string>{"identify", "a.sbin"}
                                       << "unexpected argument 'a.sbin'";
    QTest::newRow("two commands") << std::vector<std::string>{"identify", "firmware", "a.sbin"}
                                  << "unexpected argument 'firmware'";
    QTest::newRow("port without value") << std::vector<std::string>{"identify", "--port"} << "--port needs a value";
    QTest::newRow("zero timeout") << std::vector<std::string>{"--scan-timeout", "0", "identify"}
                                  << "--scan-timeout: takes seconds above 0 and up to 86400, not '0'";
    QTest::newRow("timeout in words") << std::vector<std::string>{"--scan-timeout=ten", "identify"} << "'ten'";
    QTest::newRow("yes for a data map") << std::vector<std::string>{"--yes", "data-map", "m.lbin"}
                                        << "--yes applies to firmware only";
    QTest::newRow("ports as a gang") << std::vector<std::string>{"--gang", "ports"}
                                     << "--gang, --json, --log and --station do not apply to ports";
  }
  void usageErrors() {
    QFETCH(std::vector<std::string>, args);
    QFETCH(QString, mistake);
    const auto p = ParseCliOptions(args);
    QCOMPARE(int(p.outcome.action), int(Action::kUsageError));
    QVERIFY2(IsUsageError(p.outcome.text, "corvane-flash", mistake.toStdString()), p.outcome.text.c_str());
  }
};

QTEST_GUILESS_MAIN(OptionsTest)
#include "options_test.moc"
