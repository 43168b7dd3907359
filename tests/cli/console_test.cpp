// The console's side of the session: where each text goes, how boxes are answered, and the
// progress output on a terminal and in a pipe.
#include <QTest>
#include <sstream>

#include "console_view.h"
#include "progress_printer.h"

using namespace corvane;
using namespace corvane::cli;
using namespace std::chrono_literals;
using TimePoint = std::chrono::steady_clock::time_point;

namespace {

// A clock the test moves by hand.
struct FakeClock {
  TimePoint now{};
  ProgressPrinter::Clock Fn() {
    return [this] { return now; };
  }
};

std::vector<std::string> Lines(const std::ostringstream& stream) {
  std::vector<std::string> lines;
  std::istringstream in(stream.str());
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace

class ConsoleTest : public QObject {
  Q_OBJECT

 private slots:
  void plainProgressPrintsEveryTenPercentStepOnce() {
    std::ostringstream out;
    FakeClock clock;
    ProgressPrinter progress(out, false, clock.Fn());
    progress.Start();
    progress.Show(0, 1, 13);
    progress.Show(7, 2, 13);
    clock.now += 1500ms;
    progress.Show(23, 4, 13);  // passes 10 % and reaches 20 %
    progress.Show(0, 0, 13);   // the gauge reset by a dropped link
    progress.Show(23, 4, 13);
    clock.now += 1000ms;
    progress.Show(100, 13, 13);
    const auto lines = Lines(out);
    QCOMPARE(lines.size(), std::size_t{11});
    QCOMPARE(lines[0], std::string("0 %  1/13 blocks  0.0 s"));
    QCOMPARE(lines[1], std::string("10 %  4/13 blocks  1.5 s"));
    QCOMPARE(lines[2], std::string("20 %  4/13 blocks  1.5 s"));
    QCOMPARE(lines[3], std::string("30 %  13/13 blocks  2.5 s"));
    QCOMPARE(lines[10], std::string("100 %  13/13 blocks  2.5 s"));

    // The next transfer starts over.
    progress.Start();
    progress.Show(0, 1, 2);
    QCOMPARE(Lines(out).back(), std::string("0 %  1/2 blocks  0.0 s"));
  }

  void terminalProgressRedrawsOneLine() {
    std::ostringstream out;
    FakeClock clock;
    ProgressPrinter progress(out, true, clock.Fn());
    progress.Start();
    progress.Show(0, 1, 300);
    QCOMPARE(out.str(), std::string("\r  0 %    1/300 blocks  0.0 s"));
    out.str("");

    clock.now += 50ms;
    progress.Show(0, 2, 300);  // a new block, too soon after the last redraw
    QCOMPARE(out.str(), std::string());
    clock.now += 50ms;
    progress.Show(0, 3, 300);
    QCOMPARE(out.str(), std::string("\r  0 %    3/300 blocks  0.1 s"));
    out.str("");
    progress.Show(1, 4, 300);  // a new percentage is drawn at once
    QCOMPARE(out.str(), std::string("\r  1 %    4/300 blocks  0.1 s"));
    out.str("");
    progress.Show(0, 0, 300);
    QCOMPARE(out.str(), std::string());

    progress.BreakLine();
    progress.BreakLine();
    QCOMPARE(out.str(), std::string("\n"));
  }

  void reportAndVerdictGoToStandardOutputTheRestToStandardError() {
    std::ostringstream out, err;
    ConsoleView view(ConsoleSetup{out, err, false, false, "fw.sbin"});
    view.AppendMemoLine("Connected device: Quarnel Zeta r1 ");
    view.SetGauge(30);  // the scan's gauge is no progress
    view.ReportOutcome(Outcome::kDeviceReported);
    view.ReportOutcome(Outcome::kDeviceReported);  // printed once
    QCOMPARE(out.str(), std::string("Connected device: Quarnel Zeta r1 \n"));

    view.ShowBox(" The firmware is not designed for this device! ", "Error", BoxButtons::kOk);
    view.ShowNotice("The firmware file is too large!");
    view.ShowError("port gone");
    QCOMPARE(err.str(), std::string("Error:  The firmware is not designed for this device! \n"
                                    "The firmware file is too large!\n"
                                    "Error: port gone\n"));
    err.str("");

    view.ReportOutcome(Outcome::kUpdateFailed);
    view.ShowVerdict({TransferKind::kFirmware, false, "Firmware update failure", "ERROR"});
    QCOMPARE(Lines(out).back(), std::string("Firmware update failure"));
    QCOMPARE(err.str(), std::string());

    QCOMPARE(view.ChooseFile({"binary file SBIN", "*.sbin", "sbin"}), std::optional<std::string>("fw.sbin"));
  }

  void questionsAreAnsweredByYes() {
    const std::string question = "In the device already offered firmware version, want to continue?";
    for (const bool yes : {false, true}) {
      std::ostringstream out, err;
      ConsoleView view(ConsoleSetup{out, err, false, yes, "fw.sbin"});
      QCOMPARE(view.ShowBox(question, "", BoxButtons::kYesNo), yes ? BoxAnswer::kYes : BoxAnswer::kNo);
      const auto lines = Lines(err);
      QCOMPARE(lines.size(), std::size_t{2});
      QCOMPARE(lines[0], question);
      QVERIFY(lines[1].find(yes ? "Yes" : "No") != std::string::npos);
      QVERIFY(lines[1].find("--yes") != std::string::npos);
      QVERIFY(out.str().empty());
    }
  }

  // The scan sets its texts every 100 ms: each shows once, the others whenever they change.
  void statusTextsAreNotRepeated() {
    std::ostringstream out, err;
    ConsoleView view(ConsoleSetup{out, err, false, false, ""});
    for (int step = 0; step < 3; ++step) {
      view.SetStatus(" Идет сканирование портов ");
      view.SetStatus("Не удалось открыть порт");
    }
    view.SetStatus(" Идет сканирование портов ");
    view.SetStatus("The device is connected!");
    view.SetStatus("device disconnected.");
    view.SetStatus("Произведено 5 попыток коммуникации, связь прервана!");
    QCOMPARE(Lines(err), (std::vector<std::string>{" Идет сканирование портов ", "Не удалось открыть порт",
                                                   "The device is connected!", "device disconnected.",
                                                   "Произведено 5 попыток коммуникации, связь прервана!"}));
    QVERIFY(out.str().empty());
  }
};

QTEST_GUILESS_MAIN(ConsoleTest)
#include "console_test.moc"
