// Time on the simulated line: how long bytes take, and that each direction carries one byte
// after the other.
#include <QTest>
#include <chrono>

#include "line_time.h"

using namespace corvane;
using namespace std::chrono_literals;
using Ns = std::chrono::nanoseconds;

class LineTimeTest : public QObject {
  Q_OBJECT

 private slots:
  void bytesTakeTenBitsEach() {
    LineClock line;
    QCOMPARE(line.Duration(64), LineClockType::duration::zero());  // no rate: no line time
    line.SetBaud(115200);
    QCOMPARE(Ns(line.Duration(64)), Ns(5'555'556));  // rounded up: never early
    QCOMPARE(Ns(line.Duration(16)), Ns(1'388'889));
    line.SetBaud(9600);
    QCOMPARE(Ns(line.Duration(12)), Ns(12'500'000));
  }

  void eachDirectionCarriesOneByteAfterTheOther() {
    LineClock line;
    line.SetBaud(10'000);  // 1 ms a byte
    const LineTime t0{};
    // A block read in two pieces at once: the second piece waits for the first.
    QCOMPARE(line.Receive(32, t0 + 1s), t0 + 1s + 32ms);
    QCOMPARE(line.Receive(32, t0 + 1s), t0 + 1s + 64ms);
    // After a quiet spell bytes start when they come.
    QCOMPARE(line.Receive(12, t0 + 2s), t0 + 2s + 12ms);

    // The sending side is a wire of its own, busy from the first write on.
    QCOMPARE(line.Send(16, t0 + 1s + 64ms), t0 + 1s + 80ms);
    QCOMPARE(line.Send(20, t0 + 1s + 70ms), t0 + 1s + 100ms);  // ready early: waits for the wire
    QCOMPARE(line.Send(16, t0 + 3s), t0 + 3s + 16ms);
  }

  void logKeepsTheLatestInOrder() {
    LineLog log;
    const LineTime t0{};
    for (std::size_t i = 0; i < LineLog::kCapacity + 5; ++i) log.Add({i % 2 == 0, i, t0 + std::chrono::seconds(i)});
    const auto events = log.Events();
    QCOMPARE(events.size(), LineLog::kCapacity);
    QCOMPARE(events.front().bytes, std::size_t{5});
    QCOMPARE(events.back().bytes, LineLog::kCapacity + 4);
    log.Clear();
    QVERIFY(log.Events().empty());
  }
};

QTEST_GUILESS_MAIN(LineTimeTest)
#include "line_time_test.moc"
