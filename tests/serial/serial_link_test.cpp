// The serial link over pseudo-terminals: chunks as they arrive, the hand-over to the window
// thread, writes, exclusive access, closing from inside a dispatch, and clean ends.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QTest>
#include <atomic>
#include <functional>
#include <memory>
#include <vector>

#include "bytes.h"
#include "frame.h"
#include "process_stats.h"
#include "port_setup.h"
#include "holder_child.h"
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
  for (std::size_t i = 0; i < kCrcOffset; ++i) frame[i] = static_cast<std::uint8_t>(i * 7 + sequence);
  WriteBe16(&frame[kTypeOffset], kBlockRequest);
  WriteBe16(&frame[kSequenceOffset], sequence);
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

// Counts what the link reports; called from the link thread.
class CountingProbe : public TimingProbe {
 public:
  std::atomic<int> reads{0};
  std::atomic<int> writes{0};
  void ChunkRead(const std::uint8_t*, std::size_t) noexcept override { ++reads; }
  void WriteIssued(const std::uint8_t*, std::size_t) noexcept override { ++writes; }
};

// A device on a pseudo-terminal and a link that records what it dispatches.
struct Rig {
  Pty pty;
  RecordingSink sink;
  SerialLink link;
  Rig() { link.SetFrameSink(&sink); }
  OpenResult Open() { return link.OpenPort(pty.SlavePath()); }
  // Sends `frame` from the device and waits until it is the only new dispatch.
  bool Marker(std::uint8_t sequence) {
    const std::size_t before = sink.frames.size();
    const Bytes frame = MakeFrame(sequence);
    pty.Write(frame);
    return QTest::qWaitFor([&] { return sink.frames.size() > before; }, kDeadlineMs) &&
           sink.frames.size() == before + 1 && sink.frames.back() == frame;
  }
};

}  // namespace

class SerialLinkTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { threads_ = ThreadCount(); }  // before any link and its I/O thread

  void framesAreTheChunksAsTheyArrive() {
    Rig rig;
    QVERIFY(rig.pty.ok());
    QCOMPARE(rig.Open(), OpenResult::kOk);
    QVERIFY(rig.link.IsOpen());
    QVERIFY(rig.Marker(1));  // one write, one chunk, one dispatch

    // Two frames in one write are one chunk: it is dispatched as it is, then the second frame.
    const Bytes pair = Join(MakeFrame(2), MakeFrame(3));
    rig.pty.Write(pair);
    QTRY_COMPARE_WITH_TIMEOUT(rig.sink.frames.size(), std::size_t{3}, kDeadlineMs);
    QCOMPARE(rig.sink.frames[1], pair);
    QCOMPARE(rig.sink.frames[2], MakeFrame(3));
    QVERIFY(Drained(rig.pty));

    // A piece too short for a frame, dropped when a whole frame comes instead of its rest.
    const Bytes piece = MakeFrame(4);
    rig.pty.Write(Bytes(piece.begin(), piece.begin() + 15));
    QVERIFY(Drained(rig.pty));
    QVERIFY(rig.Marker(5));
    // A frame in two writes is joined, in however many reads it comes.
    const std::size_t before = rig.sink.frames.size();
    const Bytes split = MakeFrame(6);
    rig.pty.Write(Bytes(split.begin(), split.begin() + 32));
    rig.pty.Write(Bytes(split.begin() + 32, split.end()));
    QTRY_COMPARE_WITH_TIMEOUT(rig.sink.frames.size(), before + 1, kDeadlineMs);
    QCOMPARE(rig.sink.frames.back(), split);
    QVERIFY(rig.Marker(7));
  }

  void longBurstIsReadToTheEnd() {
    Rig rig;
    QCOMPARE(rig.Open(), OpenResult::kOk);
    const Bytes junk(10000, 0x00);
    QVERIFY(!CheckFrame(junk.data(), 64));
    rig.pty.Write(junk);
    // The kernel hands the burst over in parts; a frame sent behind it may still share a chunk
    // with its tail and be lost. Send until one arrives, which it must once the burst is read.
    for (std::uint8_t sequence = 20; sequence < 40 && rig.sink.frames.empty(); ++sequence) {
      rig.pty.Write(MakeFrame(sequence));
      (void)QTest::qWaitFor([&] { return !rig.sink.frames.empty(); }, 200);
    }
    QVERIFY(Drained(rig.pty));
    QVERIFY(!rig.sink.frames.empty());
    for (const Bytes& frame : rig.sink.frames) QCOMPARE(frame.size(), std::size_t{64});  // never the burst
  }

  void frameReceivedIsRaisedOnTheLinkThread() {
    Rig rig;
    QCOMPARE(rig.Open(), OpenResult::kOk);
    rig.link.ClearFrameReceived();
    QVERIFY(!rig.link.WaitFrameReceived(1ms));

    rig.pty.Write(MakeFrame(8));
    // The window thread is held here, yet the flag rises; the dispatch waits for the event loop.
    QVERIFY(rig.link.WaitFrameReceived(std::chrono::milliseconds(kDeadlineMs)));
    QVERIFY(rig.sink.frames.empty());
    QTRY_COMPARE_WITH_TIMEOUT(rig.sink.frames.size(), std::size_t{1}, kDeadlineMs);

    // One flag for the link's life: it survives close and open until cleared.
    rig.link.ClosePort();
    QCOMPARE(rig.Open(), OpenResult::kOk);
    QVERIFY(rig.link.WaitFrameReceived(0ms));
    rig.link.ClearFrameReceived();
    QVERIFY(!rig.link.WaitFrameReceived(0ms));
  }

  void bytesSentBeforeOpenAreDiscarded() {
    Rig rig;
    rig.pty.Write(MakeFrame(9));
    QVERIFY(QTest::qWaitFor([&] { return rig.pty.QueuedAtSlave() == 64; }, kDeadlineMs));
    QCOMPARE(rig.Open(), OpenResult::kOk);
    QVERIFY(rig.Marker(10));
  }

  void sendWritesExactlyTheBytes() {
    Rig rig;
    QCOMPARE(rig.Open(), OpenResult::kOk);
    const Bytes request = {0xDA, 0x00, 0x00, 0x01, 0x11, 0x22, 0x33, 0x44, 0xA1, 0xB2, 0xC3, 0xD4};
    rig.link.Send(request.data(), request.size());
    QCOMPARE(rig.pty.Read(request.size(), kDeadlineMs), request);

    // Back to back: the second goes out whole after the first.
    const Bytes a = MakeFrame(11), b = MakeFrame(12);
    rig.link.Send(a.data(), a.size());
    rig.link.Send(b.data(), b.size());
    QCOMPARE(rig.pty.Read(128, kDeadlineMs), Join(a, b));

    rig.link.ClosePort();
    rig.link.Send(a.data(), a.size());  // closed: nothing, and no harm
    QVERIFY(rig.pty.Read(1, 50).empty());
  }

  // Clearing a pseudo-terminal's output discards the last write while the kernel is still
  // delivering it, so the link must know one when it sees one.
  void pseudoTerminalsAreRecognised() {
    Pty pty;
    const int slave = ::open(pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(slave >= 0);
    QVERIFY(IsPseudoTerminal(slave));
    ::close(slave);
    const int null = ::open("/dev/null", O_RDWR);
    QVERIFY(!IsPseudoTerminal(null));
    ::close(null);
  }

  // The open sets the line whatever it was: raw 115200 8N1, no flow control of either kind.
  void openSetsTheLine() {
    Rig rig;
    const int fd = ::open(rig.pty.SlavePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    QVERIFY(fd >= 0);
    termios cooked{};
    QCOMPARE(::tcgetattr(fd, &cooked), 0);
    cooked.c_iflag |= IXON | IXOFF;
    cooked.c_lflag |= ICANON | ECHO;
    cooked.c_cflag = (cooked.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | CS7 | PARENB | CSTOPB;
    ::cfsetspeed(&cooked, B9600);
    QCOMPARE(::tcsetattr(fd, TCSANOW, &cooked), 0);
    QCOMPARE(CheckLineSettings(fd), OpenResult::kApplySettingsFailed);

    QCOMPARE(rig.Open(), OpenResult::kOk);
    termios now{};
    QCOMPARE(::tcgetattr(fd, &now), 0);
    QCOMPARE(CheckLineSettings(fd), OpenResult::kOk);
    ::close(fd);
    QCOMPARE(::cfgetospeed(&now), speed_t{B115200});
    QCOMPARE(now.c_lflag & (ICANON | ECHO), tcflag_t{0});
    QCOMPARE(now.c_iflag & (IXON | IXOFF), tcflag_t{0});
    QVERIFY(rig.Marker(60));
  }

  void aReopenedPortKeepsWorking() {
    Rig rig;
    QCOMPARE(rig.Open(), OpenResult::kOk);
    QVERIFY(rig.Marker(30));
    rig.link.ClosePort();
    QCOMPARE(rig.Open(), OpenResult::kOk);  // the closed port's thread may still be ending
    QVERIFY(rig.Marker(31));
    QCOMPARE(rig.Open(), OpenResult::kOk);  // opening closes first
    QVERIFY(rig.Marker(32));
  }

  void openFailures() {
    SerialLink link;
    QCOMPARE(link.OpenPort("/dev/corvane-no-such-port"), OpenResult::kOpenFailed);
    QCOMPARE(link.OpenPort("/dev/null"), OpenResult::kOpenFailed);  // not a serial device
    QCOMPARE(link.OpenPort(""), OpenResult::kOpenFailed);
    QVERIFY(!link.IsOpen());
    link.ClosePort();
    link.ClosePort();
  }

  void exclusiveAccess() {
    Rig rig;
    {
      SerialLink second;
      QCOMPARE(rig.Open(), OpenResult::kOk);
      QCOMPARE(second.OpenPort(rig.pty.SlavePath()), OpenResult::kOpenFailed);
      QVERIFY(!second.IsOpen());
      QVERIFY(rig.Marker(13));  // the first keeps working
      rig.link.ClosePort();     // which lets go of the port without waiting
      QTRY_COMPARE_WITH_TIMEOUT(DescriptorsOn(rig.pty.SlavePath()), 1, kDeadlineMs);
    }
    {
      LockHolder otherProgram(rig.pty.SlavePath());
      QVERIFY(otherProgram.locked());
      QCOMPARE(rig.Open(), OpenResult::kOpenFailed);
    }
    {
      // Another program that simply has the port open, without any lock: busy, and who holds it.
      HolderChild terminal(rig.pty.SlavePath(), HolderChild::Hold::kOpen, "minicom");
      QVERIFY(terminal.ok());
      QCOMPARE(rig.Open(), OpenResult::kOpenFailed);
      const OpenFailure failure = rig.link.LastOpenFailure();
      QCOMPARE(failure.cause, OpenCause::kBusy);
      QCOMPARE(CauseText(failure), "busy: held by minicom (pid " + std::to_string(terminal.pid()) + ")");
    }
    QCOMPARE(rig.Open(), OpenResult::kOk);  // usable again once freed
    QVERIFY(!rig.link.LastOpenFailure().Failed());
    rig.link.ClosePort();
    QCOMPARE(rig.link.OpenPort("/dev/corvane-no-such-port"), OpenResult::kOpenFailed);
    QCOMPARE(rig.link.LastOpenFailure().cause, OpenCause::kNotFound);
  }

  void closeFromInsideDispatch() {
    Rig rig;
    QCOMPARE(rig.Open(), OpenResult::kOk);
    bool closed = false;
    rig.sink.during = [&] {
      rig.pty.Write(MakeFrame(15));  // waiting at the port while the link waits for this dispatch
      QVERIFY(rig.pty.WaitQueuedAtSlave(kDeadlineMs));
      rig.link.ClosePort();
      closed = true;
    };
    rig.pty.Write(MakeFrame(14));
    QTRY_VERIFY_WITH_TIMEOUT(closed, kDeadlineMs);
    QVERIFY(!rig.link.IsOpen());
    QVERIFY(ThreadsBackTo(threads_ + 1));
    QCoreApplication::processEvents();
    QCOMPARE(rig.sink.frames.size(), std::size_t{1});
    QCOMPARE(rig.pty.QueuedAtSlave(), std::size_t{64});  // never read
  }

  // The reply to a frame, sent from its dispatch, is written as soon as the dispatch returns.
  void sendsInsideADispatch() {
    Rig rig;
    QCOMPARE(rig.Open(), OpenResult::kOk);
    const Bytes a = MakeFrame(40), b = MakeFrame(41), c = MakeFrame(42);
    rig.sink.during = [&] {
      rig.link.Send(a.data(), a.size());
      rig.link.Send(b.data(), b.size());
    };
    QVERIFY(rig.Marker(43));
    QCOMPARE(rig.pty.Read(128, kDeadlineMs), Join(a, b));
    rig.link.Send(c.data(), c.size());  // and outside a dispatch, as ever
    QCOMPARE(rig.pty.Read(64, kDeadlineMs), c);

    // Closed in the same dispatch: not written. A port opened there gets what is sent to it.
    rig.sink.during = [&] {
      rig.link.Send(a.data(), a.size());
      rig.link.ClosePort();
      rig.link.Send(b.data(), b.size());  // no port: nothing
      QCOMPARE(rig.Open(), OpenResult::kOk);
      rig.link.Send(c.data(), c.size());
    };
    QVERIFY(rig.Marker(44));
    QCOMPARE(rig.pty.Read(64, kDeadlineMs), c);
    QVERIFY(rig.Marker(45));  // the new port reads too
    rig.link.ClosePort();
    QVERIFY(ThreadsBackTo(threads_ + 1));  // all written that ever will be
    QVERIFY(rig.pty.Read(1, 50).empty());
  }

  void timingProbeSeesReadsAndWrites() {
    CountingProbe probe;  // outlives the link
    Rig rig;
    QVERIFY(rig.link.SetTimingProbe(&probe));
    QCOMPARE(rig.Open(), OpenResult::kOk);
    QVERIFY(!rig.link.SetTimingProbe(nullptr));  // not while a port is open
    const Bytes reply = MakeFrame(51);
    rig.sink.during = [&] { rig.link.Send(reply.data(), reply.size()); };
    QVERIFY(rig.Marker(50));
    QCOMPARE(rig.pty.Read(64, kDeadlineMs), reply);
    QTRY_COMPARE_WITH_TIMEOUT(probe.writes.load(), 1, kDeadlineMs);
    QCOMPARE(probe.reads.load(), 1);
  }

  void openCloseCyclesLeaveNothingBehind() {
    Rig rig;
    QCOMPARE(rig.Open(), OpenResult::kOk);
    rig.link.ClosePort();
    QVERIFY(ThreadsBackTo(threads_ + 1));
    const int descriptors = DescriptorCount();

    for (int i = 0; i < 1000; ++i) {
      QCOMPARE(rig.Open(), OpenResult::kOk);
      rig.link.ClosePort();
    }
    QVERIFY(ThreadsBackTo(threads_ + 1));
    QTRY_COMPARE_WITH_TIMEOUT(DescriptorCount(), descriptors, kDeadlineMs);
  }

  void vanishedDeviceClosesTheLinkWithoutSpinning() {
    {
      Rig rig;
      QCOMPARE(rig.Open(), OpenResult::kOk);
      QVERIFY(DescriptorsOn(rig.pty.SlavePath()) > 1);  // the test's own and the link's

      rig.pty.CloseMaster();
      QTRY_COMPARE_WITH_TIMEOUT(DescriptorsOn(rig.pty.SlavePath()), 1, kDeadlineMs);
      QVERIFY(rig.link.IsOpen());  // to the session the device is only silent

      const double before = ProcessCpuSeconds();
      QTest::qWait(1000);
      const double spent = ProcessCpuSeconds() - before;
      qInfo("CPU time over 1 s after the device vanished: %.3f s", spent);
      QVERIFY(spent < 0.2);

      const Bytes frame = MakeFrame(16);
      rig.link.Send(frame.data(), frame.size());
      rig.link.ClosePort();
    }
    QVERIFY(ThreadsBackTo(threads_));
  }

  void destroyWithDispatchPending() {
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
    QVERIFY(ThreadsBackTo(threads_));
  }

 private:
  int threads_ = 0;
};

QTEST_GUILESS_MAIN(SerialLinkTest)
#include "serial_link_test.moc"
