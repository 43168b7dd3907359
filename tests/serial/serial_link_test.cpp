// The serial link over pseudo-terminals: chunks as they arrive, the hand-over to the window
// thread, writes, exclusive access, closing from inside a dispatch, and clean ends.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTest>
#include <functional>
#include <memory>
#include <vector>

#include "frame.h"
#include "pty.h"
#include "serial_link.h"

using namespace corvane;
using namespace corvane::testing;
using namespace std::chrono_literals;

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr int kDeadlineMs = 5000;

Bytes MakeFrame(std::uint8_t sequence) {
  Bytes frame(64);
  frame[0] = 0xDA;
  frame[1] = 0x04;
  frame[3] = sequence;
  for (std::size_t i = 4; i < 60; ++i) frame[i] = static_cast<std::uint8_t>(i * 7 + sequence);
  SealFrame(frame.data());
  return frame;
}

Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

class RecordingSink : public FrameSink {
 public:
  std::vector<Bytes> frames;
  std::function<void()> during;  // runs once, inside the next dispatch
  void OnFrame(const std::uint8_t* frame, std::size_t length) override {
    frames.emplace_back(frame, frame + length);
    if (during) std::exchange(during, nullptr)();
  }
};

// Runs the event loop until the link has read everything the device wrote.
bool Drained(const Pty& pty) {
  return QTest::qWaitFor([&] { return pty.QueuedAtSlave() == 0; }, kDeadlineMs);
}

bool ThreadsBackTo(int count) {
  return QTest::qWaitFor([&] { return ThreadCount() == count; }, 20000);
}

// Another program holding the port: a child process that opens and locks it until released.
class LockHolder {
 public:
  explicit LockHolder(const std::string& path) {
    int ready[2], release[2];
    if (::pipe(ready) != 0 || ::pipe(release) != 0) return;
    pid_ = ::fork();
    if (pid_ == 0) {
      ::close(ready[0]);
      ::close(release[1]);
      const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
      const char locked = fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) == 0 ? 1 : 0;
      (void)!::write(ready[1], &locked, 1);
      char c;
      (void)!::read(release[0], &c, 1);
      ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    char locked = 0;
    locked_ = ::read(ready[0], &locked, 1) == 1 && locked == 1;
    ::close(ready[0]);
    releaseFd_ = release[1];
  }
  ~LockHolder() {
    if (releaseFd_ >= 0) ::close(releaseFd_);
    if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
  }
  bool locked() const { return locked_; }

 private:
  pid_t pid_ = -1;
  int releaseFd_ = -1;
  bool locked_ = false;
};

}  // namespace

class SerialLinkTest : public QObject {
  Q_OBJECT

 private slots:
  void framesAreTheChunksAsTheyArrive() {
    Pty pty;
    QVERIFY(pty.ok());
    SerialLink link;
    RecordingSink sink;
    link.SetFrameSink(&sink);
    QCOMPARE(link.OpenPort(pty.SlavePath()), OpenResult::kOk);
    QVERIFY(link.IsOpen());

    const Bytes first = MakeFrame(1);
    pty.Write(first);
    QTRY_COMPARE_WITH_TIMEOUT(sink.frames.size(), std::size_t{1}, kDeadlineMs);
    QCOMPARE(sink.frames[0], first);

    // Two frames in one write are one chunk: only the first frame is looked at.
    const Bytes pair = Join(MakeFrame(2), MakeFrame(3));
    pty.Write(pair);
    QTRY_COMPARE_WITH_TIMEOUT(sink.frames.size(), std::size_t{2}, kDeadlineMs);
    QCOMPARE(sink.frames[1], pair);

    QVERIFY(Drained(pty));
    QCOMPARE(sink.frames.size(), std::size_t{2});
  }

  void rejectedChunksAreNeverDispatched() {
    Pty pty;
    SerialLink link;
    RecordingSink sink;
    link.SetFrameSink(&sink);
    QCOMPARE(link.OpenPort(pty.SlavePath()), OpenResult::kOk);

    Bytes shortChunk = MakeFrame(4);
    shortChunk.resize(15);
    pty.Write(shortChunk);
    QVERIFY(Drained(pty));

    // A frame in two writes, the first read before the second arrives: two bad chunks.
    const Bytes split = MakeFrame(5);
    pty.Write(Bytes(split.begin(), split.begin() + 32));
    QVERIFY(Drained(pty));
    pty.Write(Bytes(split.begin() + 32, split.end()));
    QVERIFY(Drained(pty));

    const Bytes marker = MakeFrame(6);
    pty.Write(marker);
    QTRY_COMPARE_WITH_TIMEOUT(sink.frames.size(), std::size_t{1}, kDeadlineMs);
    QCOMPARE(sink.frames[0], marker);
  }

  void longBurstIsReadToTheEnd() {
    Pty pty;
    SerialLink link;
    RecordingSink sink;
    link.SetFrameSink(&sink);
    QCOMPARE(link.OpenPort(pty.SlavePath()), OpenResult::kOk);

    const Bytes junk(10000, 0x00);
    QVERIFY(!CheckFrame(junk.data(), 64));
    pty.Write(junk);
    // The kernel hands the burst over in parts; a frame sent behind it may still share a chunk
    // with its tail and be lost. Send until one arrives, which it must once the burst is read.
    for (std::uint8_t sequence = 20; sequence < 40 && sink.frames.empty(); ++sequence) {
      pty.Write(MakeFrame(sequence));
      (void)QTest::qWaitFor([&] { return !sink.frames.empty(); }, 200);
    }
    QVERIFY(Drained(pty));
    QVERIFY(!sink.frames.empty());
    for (const Bytes& frame : sink.frames) {
      QCOMPARE(frame.size(), std::size_t{64});  // a frame alone, never the burst
      QCOMPARE(frame[0], std::uint8_t{0xDA});
    }
  }

  void frameReceivedIsRaisedOnTheLinkThread() {
    Pty pty;
    SerialLink link;
    RecordingSink sink;
    link.SetFrameSink(&sink);
    QCOMPARE(link.OpenPort(pty.SlavePath()), OpenResult::kOk);
    link.ClearFrameReceived();
    QVERIFY(!link.WaitFrameReceived(1ms));

    pty.Write(MakeFrame(8));
    // The window thread is held here, yet the flag rises; the dispatch waits for the event loop.
    QVERIFY(link.WaitFrameReceived(std::chrono::milliseconds(kDeadlineMs)));
    QVERIFY(sink.frames.empty());
    QTRY_COMPARE_WITH_TIMEOUT(sink.frames.size(), std::size_t{1}, kDeadlineMs);

    // One flag for the link's life: it survives close and open until cleared.
    link.ClosePort();
    QCOMPARE(link.OpenPort(pty.SlavePath()), OpenResult::kOk);
    QVERIFY(link.WaitFrameReceived(0ms));
    link.ClearFrameReceived();
    QVERIFY(!link.WaitFrameReceived(0ms));
  }

  void bytesSentBeforeOpenAreDiscarded() {
    Pty pty;
    SerialLink link;
    RecordingSink sink;
    link.SetFrameSink(&sink);
    pty.Write(MakeFrame(9));
    QVERIFY(QTest::qWaitFor([&] { return pty.QueuedAtSlave() == 64; }, kDeadlineMs));

    QCOMPARE(link.OpenPort(pty.SlavePath()), OpenResult::kOk);
    const Bytes marker = MakeFrame(10);
    pty.Write(marker);
    QTRY_COMPARE_WITH_TIMEOUT(sink.frames.size(), std::size_t{1}, kDeadlineMs);
    QCOMPARE(sink.frames[0], marker);
  }

  void sendWritesExactlyTheBytes() {
    Pty pty;
    SerialLink link;
    QCOMPARE(link.OpenPort(pty.SlavePath()), OpenResult::kOk);

    const Bytes request = {0xDA, 0x00, 0x00, 0x01, 0x11, 0x22, 0x33, 0x44, 0xA1, 0xB2, 0xC3, 0xD4};
    link.Send(request.data(), request.size());
    QCOMPARE(pty.Read(request.size(), kDeadlineMs), request);

    // Back to back: the second goes out whole after the first.
    const Bytes a = MakeFrame(11), b = MakeFrame(12);
    link.Send(a.data(), a.size());
    link.Send(b.data(), b.size());
    QCOMPARE(pty.Read(128, kDeadlineMs), Join(a, b));

    link.ClosePort();
    link.Send(a.data(), a.size());  // closed: nothing, and no harm
    QVERIFY(pty.Read(1, 50).empty());
  }

  void openFailures() {
    SerialLink link;
    QCOMPARE(link.OpenPort("/dev/corvane-no-such-port"), OpenResult::kOpenFailed);
    QVERIFY(!link.IsOpen());
    QCOMPARE(link.OpenPort("/dev/null"), OpenResult::kOpenFailed);  // not a serial device
    QCOMPARE(link.OpenPort(""), OpenResult::kOpenFailed);
    QVERIFY(!link.IsOpen());
    link.ClosePort();
    link.ClosePort();
  }

  void exclusiveAccess() {
    Pty pty;
    {
      SerialLink first, second;
      RecordingSink sink;
      first.SetFrameSink(&sink);
      QCOMPARE(first.OpenPort(pty.SlavePath()), OpenResult::kOk);
      QCOMPARE(second.OpenPort(pty.SlavePath()), OpenResult::kOpenFailed);
      QVERIFY(!second.IsOpen());
      const Bytes frame = MakeFrame(13);
      pty.Write(frame);  // the first keeps working
      QTRY_COMPARE_WITH_TIMEOUT(sink.frames.size(), std::size_t{1}, kDeadlineMs);
    }

    SerialLink link;
    {
      LockHolder other(pty.SlavePath());
      QVERIFY(other.locked());
      QCOMPARE(link.OpenPort(pty.SlavePath()), OpenResult::kOpenFailed);
    }
    QCOMPARE(link.OpenPort(pty.SlavePath()), OpenResult::kOk);
  }

  void closeFromInsideDispatch() {
    const int threads = ThreadCount();
    Pty pty;
    {
      SerialLink link;
      RecordingSink sink;
      link.SetFrameSink(&sink);
      QCOMPARE(link.OpenPort(pty.SlavePath()), OpenResult::kOk);
      bool closed = false;
      sink.during = [&] {
        pty.Write(MakeFrame(15));  // waiting at the port while the link waits for this dispatch
        QVERIFY(pty.WaitQueuedAtSlave(kDeadlineMs));
        link.ClosePort();
        closed = true;
      };
      pty.Write(MakeFrame(14));
      QTRY_VERIFY_WITH_TIMEOUT(closed, kDeadlineMs);
      QVERIFY(!link.IsOpen());
      QVERIFY(ThreadsBackTo(threads));
      QCoreApplication::processEvents();
      QCOMPARE(sink.frames.size(), std::size_t{1});
      QCOMPARE(pty.QueuedAtSlave(), std::size_t{64});  // never read
    }
  }

  void openCloseCyclesLeaveNothingBehind() {
    Pty pty;
    SerialLink link;
    QCOMPARE(link.OpenPort(pty.SlavePath()), OpenResult::kOk);
    link.ClosePort();
    const int threads = ThreadCount() - 1;  // the thread just closed is ending
    QVERIFY(ThreadsBackTo(threads));
    const int descriptors = DescriptorCount();

    for (int i = 0; i < 1000; ++i) {
      QCOMPARE(link.OpenPort(pty.SlavePath()), OpenResult::kOk);
      link.ClosePort();
    }
    QVERIFY(ThreadsBackTo(threads));
    QTRY_COMPARE_WITH_TIMEOUT(DescriptorCount(), descriptors, kDeadlineMs);
  }

  void vanishedDeviceClosesTheLinkWithoutSpinning() {
    const int threads = ThreadCount();
    {
      Pty pty;
      SerialLink link;
      RecordingSink sink;
      link.SetFrameSink(&sink);
      QCOMPARE(link.OpenPort(pty.SlavePath()), OpenResult::kOk);
      const int ours = DescriptorsOn(pty.SlavePath()) - 1;  // besides the one the test holds
      QVERIFY(ours > 0);

      pty.CloseMaster();
      QTRY_COMPARE_WITH_TIMEOUT(DescriptorsOn(pty.SlavePath()), 1, kDeadlineMs);
      QVERIFY(link.IsOpen());  // to the session the device is only silent

      const double before = ProcessCpuSeconds();
      QTest::qWait(1000);
      const double spent = ProcessCpuSeconds() - before;
      qInfo("CPU time over 1 s after the device vanished: %.3f s", spent);
      QVERIFY(spent < 0.2);

      const Bytes frame = MakeFrame(16);
      link.Send(frame.data(), frame.size());
      link.ClosePort();
    }
    QVERIFY(ThreadsBackTo(threads));
  }

  void destroyWithDispatchPending() {
    const int threads = ThreadCount();
    Pty pty;
    RecordingSink sink;
    auto link = std::make_unique<SerialLink>();
    link->SetFrameSink(&sink);
    QCOMPARE(link->OpenPort(pty.SlavePath()), OpenResult::kOk);
    pty.Write(MakeFrame(17));
    QVERIFY(link->WaitFrameReceived(std::chrono::milliseconds(kDeadlineMs)));
    link.reset();  // the link thread waits for a dispatch that will never come
    QCoreApplication::processEvents();
    QVERIFY(sink.frames.empty());
    QVERIFY(ThreadsBackTo(threads));
  }
};

QTEST_GUILESS_MAIN(SerialLinkTest)
#include "serial_link_test.moc"
