// The benchmark's own arithmetic: percentiles, the pairing of link events into turnarounds and
// round trips, the recorder's fixed room, the bare loop and the command line.
#include <QtTest>
#include <array>
#include <cstdint>
#include <vector>

#include "bench_options.h"
#include "latency_stats.h"
#include "link_timing.h"
#include "pty_floor.h"
#include "usage_error.h"

using namespace corvane::bench;
using corvane::command_line::Action;
using corvane::testing::IsUsageError;

namespace {

LinkEvent Read(std::int64_t ns, std::uint16_t type) { return {ns, type, 16, LinkEventKind::kRead}; }
LinkEvent Dispatch(std::int64_t ns, std::uint16_t type) { return {ns, type, 16, LinkEventKind::kDispatch}; }
LinkEvent Send(std::int64_t ns, std::uint16_t type) { return {ns, type, 64, LinkEventKind::kSend}; }
LinkEvent Write(std::int64_t ns, std::uint16_t type) { return {ns, type, 64, LinkEventKind::kWrite}; }

}  // namespace

class BenchAnalysisTest : public QObject {
  Q_OBJECT

 private slots:
  void percentilesAreNearestRank() {
    const LatencySummary none = Summarize({});
    QCOMPARE(none.count, std::size_t{0});
    QCOMPARE(none.medianUs, 0.0);

    // 100 samples of 1..100 µs, shuffled: median 50, p99 99, max 100.
    std::vector<std::int64_t> samples;
    for (int i = 100; i >= 1; --i) samples.push_back((i * 37 % 100 + 1) * 1000);
    const LatencySummary s = Summarize(samples);
    QCOMPARE(s.count, std::size_t{100});
    QCOMPARE(s.medianUs, 50.0);
    QCOMPARE(s.p99Us, 99.0);
    QCOMPARE(s.maxUs, 100.0);

    // Two samples: the median is the lower one, p99 the upper one.
    const LatencySummary two = Summarize({3000, 1500});
    QCOMPARE(two.medianUs, 1.5);
    QCOMPARE(two.p99Us, 3.0);

    // One slow sample in a thousand stays out of p99 but sets the maximum.
    std::vector<std::int64_t> mostlyFast(999, 40'000);
    mostlyFast.push_back(5'000'000);
    const LatencySummary tail = Summarize(mostlyFast);
    QCOMPARE(tail.p99Us, 40.0);
    QCOMPARE(tail.maxUs, 5000.0);
  }

  void eventsPairIntoTurnaroundsAndRoundTrips() {
    const std::vector<LinkEvent> events = {
        Send(0, 0xDA00),    Write(10, 0xDA00),      // identify request
        Read(100, 0xDA01),  Dispatch(120, 0xDA01),  // reply: not a block request
        Send(5000, 0x1234), Write(5005, 0x1234),    // block 0, sent by the button: no turnaround
        Read(6000, 0xDA04), Dispatch(6011, 0xDA04), Send(6031, 0x5678), Write(6050, 0x5678),  // block 1
        Read(6200, 0xDA04), Write(6230, 0xDA06),     // end frame; dispatch and send not recorded
        Read(6400, 0xDA07), Dispatch(6420, 0xDA07),  // verdict: answered by nothing
    };
    const LinkTimings t = AnalyseLinkEvents(events);
    QCOMPARE(t.turnaround, (std::vector<std::int64_t>{50, 30}));
    QCOMPARE(t.toWindow, (std::vector<std::int64_t>{11}));
    QCOMPARE(t.windowWork, (std::vector<std::int64_t>{20}));
    QCOMPARE(t.toPort, (std::vector<std::int64_t>{19}));
    QCOMPARE(t.deviceLeg, (std::vector<std::int64_t>{150}));
    QCOMPARE(t.roundTrip, (std::vector<std::int64_t>{200}));
  }

  void requestsWithoutAnAnswerAreNotCounted() {
    // A request after the end frame sends nothing; the next request's answer still pairs with
    // its own request, never with the earlier one.
    const std::vector<LinkEvent> events = {
        Read(1000, 0xDA04),  Read(2000, 0xDA04),
        Write(2010, 0xDA06), Read(2100, 0xDA05),  // TimeoutUpdate: not a block request
        Write(9000, 0xDA06),                      // a resend after Timer2
    };
    const LinkTimings t = AnalyseLinkEvents(events);
    QCOMPARE(t.turnaround, (std::vector<std::int64_t>{10}));
    QVERIFY(t.deviceLeg.empty());
    QVERIFY(t.roundTrip.empty());
    QVERIFY(AnalyseLinkEvents({}).turnaround.empty());
  }

  void recorderKeepsWhatFitsAndCountsTheRest() {
    LinkRecorder recorder(2);
    const std::array<std::uint8_t, 16> request{0xDA, 0x04};
    const std::array<std::uint8_t, 1> lone{0xDA};
    recorder.ChunkRead(request.data(), request.size());
    recorder.WriteIssued(lone.data(), lone.size());
    recorder.WriteIssued(request.data(), request.size());
    QCOMPARE(recorder.Events().size(), std::size_t{2});
    QCOMPARE(recorder.Dropped(), std::size_t{1});
    QCOMPARE(recorder.Events()[0].type, std::uint16_t{0xDA04});
    QCOMPARE(recorder.Events()[0].kind, LinkEventKind::kRead);
    QCOMPARE(recorder.Events()[0].length, std::uint16_t{16});
    QCOMPARE(recorder.Events()[1].type, std::uint16_t{0});  // too short to carry a type
    QCOMPARE(recorder.Events()[1].kind, LinkEventKind::kWrite);
    QVERIFY(recorder.Events()[1].ns >= recorder.Events()[0].ns);
  }

  void floorLoopRunsEveryRound() {
    const FloorResult floor = RunPtyFloor(200);
    QVERIFY2(floor.ok, floor.error.c_str());
    QCOMPARE(floor.roundTrips.size(), std::size_t{200});
    for (const std::int64_t ns : floor.roundTrips) QVERIFY(ns > 0);
  }

  void commandLine() {
    auto p = ParseBenchOptions({});
    QCOMPARE(p.outcome.action, Action::kRun);
    QCOMPARE(p.options.blocks, std::uint32_t{160000});
    p = ParseBenchOptions({"--blocks", "9"});
    QCOMPARE(p.outcome.action, Action::kRun);
    QCOMPARE(p.options.blocks, std::uint32_t{9});
    QCOMPARE(ParseBenchOptions({"--blocks=160000"}).options.blocks, std::uint32_t{160000});

    QCOMPARE(ParseBenchOptions({"-h"}).outcome.action, Action::kHelp);
    QVERIFY(ParseBenchOptions({"--help"}).outcome.text.starts_with("Usage: corvane-bench [--blocks N]\n"));
    QCOMPARE(ParseBenchOptions({"-V"}).outcome.text, std::string("corvane-bench 1.28\n"));

    for (const auto& bad : std::vector<std::vector<std::string>>{{"--blocks", "8"},
                                                                 {"--blocks", "160001"},
                                                                 {"--blocks", "12x"},
                                                                 {"--blocks", "-5"},
                                                                 {"--blocks="},
                                                                 {"--blocks"},
                                                                 {"--block", "20"},
                                                                 {"extra"}}) {
      const auto parsed = ParseBenchOptions(bad);
      QCOMPARE(parsed.outcome.action, Action::kUsageError);
      QVERIFY2(IsUsageError(parsed.outcome.text, "corvane-bench"), parsed.outcome.text.c_str());
    }
    QVERIFY(IsUsageError(ParseBenchOptions({"--blocks", "8"}).outcome.text, "corvane-bench",
                         "--blocks: takes a number 9..160000"));
  }
};

QTEST_GUILESS_MAIN(BenchAnalysisTest)
#include "bench_analysis_test.moc"
