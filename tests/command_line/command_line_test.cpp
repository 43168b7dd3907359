// The parser every program builds on: help, version and the one-line usage error, CLI11's
// mistakes in plain words, and the number and seconds values.
#include <QTest>
#include <optional>

#include "option_values.h"
#include "parser.h"
#include "usage_error.h"

using namespace corvane::command_line;
using corvane::testing::IsUsageError;
using namespace std::chrono_literals;

Q_DECLARE_METATYPE(std::vector<std::string>)

namespace {

// A small program: a number, a repeatable path, a flag, a once-only option and two commands.
struct Toy {
  std::uint8_t level = 7;
  std::optional<std::uint32_t> limit;
  std::vector<std::string> paths;
  bool quiet = false;
  std::uint16_t once = 0;
  std::string file;
  Outcome outcome;
};

Toy ParseToy(const std::vector<std::string>& args) {
  Toy toy;
  Parser parser("toy", "Usage: toy ...\n", "toy 9.9");
  CLI::App& app = parser.app();
  AddNumber(app, "--level", toy.level, 1, 200);
  AddNumber(app, "--limit", toy.limit, 0, 0xFFFFFFFF);
  AddPaths(app, "--path", toy.paths);
  app.add_flag("--quiet", toy.quiet);
  AddNumber(app, "--once", toy.once, 0, 9)->multi_option_policy(CLI::MultiOptionPolicy::Throw);
  app.require_subcommand(0, 1);
  app.add_subcommand("show");
  AddPath(*app.add_subcommand("load"), "FILE", toy.file)->required();
  toy.outcome = parser.Parse(args);
  return toy;
}

}  // namespace

class CommandLineTest : public QObject {
  Q_OBJECT

 private slots:
  void valuesReachTheirTargets() {
    Toy toy = ParseToy({});
    QCOMPARE(int(toy.outcome.action), int(Action::kRun));
    QCOMPARE(toy.level, std::uint8_t{7});
    QVERIFY(!toy.limit);

    // Digits are numbers, never characters; hex is read; the last of a repeated option counts.
    toy = ParseToy(
        {"--level", "2", "--limit=0x10", "--path", "a", "--quiet", "--path=b", "--level", "0xC8", "load", "f.bin"});
    QCOMPARE(int(toy.outcome.action), int(Action::kRun));
    QCOMPARE(toy.level, std::uint8_t{200});
    QCOMPARE(toy.limit, std::optional<std::uint32_t>{16});
    QCOMPARE(toy.paths, (std::vector<std::string>{"a", "b"}));
    QVERIFY(toy.quiet);
    QCOMPARE(toy.file, std::string("f.bin"));
  }

  void helpAndVersion() {
    for (const auto& args : {std::vector<std::string>{"-h"}, {"--help"}, {"load", "--help"}}) {
      const Outcome o = ParseToy(args).outcome;
      QCOMPARE(int(o.action), int(Action::kHelp));
      QCOMPARE(o.text, std::string("Usage: toy ...\n"));
    }
    for (const auto& args : {std::vector<std::string>{"-V"}, {"--version"}}) {
      const Outcome o = ParseToy(args).outcome;
      QCOMPARE(int(o.action), int(Action::kVersion));
      QCOMPARE(o.text, std::string("toy 9.9\n"));
    }
    QCOMPARE(VersionLine("corvane-x"), std::string("corvane-x 1.28"));
  }

  void mistakesInOneLine_data() {
    QTest::addColumn<std::vector<std::string>>("args");
    QTest::addColumn<QString>("mistake");
    QTest::newRow("unknown option") << std::vector<std::string>{"show", "--fast=1"} << "unknown option '--fast'";
    QTest::newRow("unknown command") << std::vector<std::string>{"erase", "--quiet"} << "unknown command 'erase'";
    // Asking for help or the version beside a mistake does not hide the mistake.
    QTest::newRow("unknown beside help") << std::vector<std::string>{"--help", "--bogus"} << "unknown option '--bogus'";
    QTest::newRow("unknown beside version")
        << std::vector<std::string>{"load", "a", "b", "-V"} << "unexpected argument 'b'";
    QTest::newRow("extra argument") << std::vector<std::string>{"load", "a", "b"} << "unexpected argument 'b'";
    QTest::newRow("missing operand") << std::vector<std::string>{"load"} << "FILE is required";
    QTest::newRow("missing value") << std::vector<std::string>{"--level"} << "--level needs a value";
    // "--path=" must not take the next argument as its value.
    QTest::newRow("empty after =") << std::vector<std::string>{"--path=", "show"} << "empty value in '--path='";
    QTest::newRow("empty path") << std::vector<std::string>{"--path", ""} << "--path: needs a path";
    QTest::newRow("flag with value") << std::vector<std::string>{"--quiet=yes"} << "--quiet takes no value";
    QTest::newRow("once given twice") << std::vector<std::string>{"--once", "1", "--once", "2"}
                                      << "--once is given more than once";
    QTest::newRow("below range") << std::vector<std::string>{"--level", "0"}
                                 << "--level: takes a number 1..200 (decimal or 0x-hex), not '0'";
    QTest::newRow("beyond range") << std::vector<std::string>{"--level", "201"} << "not '201'";
  }
  void mistakesInOneLine() {
    QFETCH(std::vector<std::string>, args);
    QFETCH(QString, mistake);
    const Outcome o = ParseToy(args).outcome;
    QCOMPARE(int(o.action), int(Action::kUsageError));
    QVERIFY2(IsUsageError(o.text, "toy", mistake.toStdString()), o.text.c_str());
  }

  void numbers_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<qulonglong>("max");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<qulonglong>("value");
    QTest::newRow("decimal") << "65535" << 65535ULL << true << 65535ULL;
    QTest::newRow("hex") << "0xfFfF" << 65535ULL << true << 65535ULL;
    QTest::newRow("upper X") << "0X0a" << 65535ULL << true << 10ULL;
    QTest::newRow("leading zero is decimal") << "010" << 65535ULL << true << 10ULL;
    QTest::newRow("largest 64-bit") << "0xFFFFFFFFFFFFFFFF" << ~0ULL << true << ~0ULL;
    QTest::newRow("above max") << "65536" << 65535ULL << false << 0ULL;
    QTest::newRow("digit above a max of 0") << "5" << 0ULL << false << 0ULL;
    QTest::newRow("beyond 64 bits") << "18446744073709551616" << ~0ULL << false << 0ULL;
    QTest::newRow("empty") << "" << 9ULL << false << 0ULL;
    QTest::newRow("bare 0x") << "0x" << 9ULL << false << 0ULL;
    QTest::newRow("hex digit in decimal") << "1a" << 99ULL << false << 0ULL;
    QTest::newRow("sign") << "+1" << 9ULL << false << 0ULL;
    QTest::newRow("blank") << " 5" << 9ULL << false << 0ULL;
  }
  void numbers() {
    QFETCH(QString, text);
    QFETCH(qulonglong, max);
    QFETCH(bool, ok);
    QFETCH(qulonglong, value);
    std::uint64_t out = 12345;
    QCOMPARE(ParseNumber(text.toStdString(), max, out), ok);
    QCOMPARE(out, ok ? std::uint64_t{value} : std::uint64_t{12345});
  }

  void seconds_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("ms");  // -1: refused
    QTest::newRow("whole") << "10" << 10000;
    QTest::newRow("half") << "0.5" << 500;
    QTest::newRow("no leading digit") << ".25" << 250;
    QTest::newRow("trailing dot") << "3." << 3000;
    QTest::newRow("below a millisecond rounds up") << "0.0001" << 1;
    QTest::newRow("zeros past the millisecond") << "1.2340000" << 1234;
    QTest::newRow("the maximum") << "86400" << 86400000;
    QTest::newRow("beyond the maximum") << "86400.001" << -1;
    QTest::newRow("zero") << "0.000" << -1;
    QTest::newRow("dot alone") << "." << -1;
    QTest::newRow("exponent") << "1e3" << -1;
    QTest::newRow("two dots") << "1.2.3" << -1;
    QTest::newRow("sign") << "-1" << -1;
  }
  void seconds() {
    QFETCH(QString, text);
    QFETCH(int, ms);
    std::chrono::milliseconds out{-5};
    const bool ok = ParseSeconds(text.toStdString(), 86400, out);
    QCOMPARE(ok, ms >= 0);
    QCOMPARE(out.count(), std::chrono::milliseconds::rep{ok ? ms : -5});
  }
};

QTEST_APPLESS_MAIN(CommandLineTest)
#include "command_line_test.moc"
