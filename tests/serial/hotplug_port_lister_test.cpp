// The port list kept current from hotplug notices: the same list as reading it every time, read
// again only after a notice, and the same lines on the trace stream at every call.
#include "hotplug_port_lister.h"

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QTest>
#include <sstream>

#include "port_list.h"
#include "wait.h"

using namespace corvane;

namespace {

// Notices on a pipe: one byte is one notice.
class PipeWatch : public PortChangeWatch {
 public:
  PipeWatch() { ok_ = ::pipe2(fds_, O_NONBLOCK | O_CLOEXEC) == 0; }
  ~PipeWatch() override {
    ::close(fds_[0]);
    ::close(fds_[1]);
  }
  int Descriptor() const override { return fds_[0]; }
  const char* Source() const override { return "test"; }
  bool TakeChanges() override {
    char buffer[64];
    bool changed = false;
    while (::read(fds_[0], buffer, sizeof buffer) > 0) changed = true;
    return changed;
  }

  bool ok() const { return ok_; }
  bool Send() const { return ::write(fds_[1], "x", 1) == 1; }
  bool Pending() const {
    int queued = 0;
    return ::ioctl(fds_[0], FIONREAD, &queued) == 0 && queued > 0;
  }

 private:
  bool ok_ = false;
  int fds_[2] = {-1, -1};
};

}  // namespace

class HotplugPortListerTest : public QObject {
  Q_OBJECT

 private slots:
  void sameListAsReadingItEveryTime() {
    SystemPortLister everyTime(nullptr);
    HotplugPortLister hotplug(nullptr);
    const std::vector<std::string> expected = everyTime.ListSerialPorts();
    for (int step = 0; step < 3; ++step) QCOMPARE(hotplug.ListSerialPorts(), expected);
  }

  void readAgainOnlyAfterANotice() {
    auto watch = std::make_unique<PipeWatch>();
    QVERIFY(watch->ok());
    const PipeWatch& notices = *watch;
    int reads = 0;
    std::vector<std::string> system = {"ttyUSB0", "ttyS0"};
    std::ostringstream trace;
    HotplugPortLister lister(
        &trace,
        [&] {
          ++reads;
          return system;
        },
        std::move(watch));
    QVERIFY(lister.Watching());

    for (int step = 0; step < 5; ++step) QCOMPARE(lister.ListSerialPorts(), system);
    QCOMPARE(reads, 1);
    // The names go to the trace stream at every call, as when the list is read every time.
    std::string fiveTimes;
    for (int step = 0; step < 5; ++step) fiveTimes += "ttyUSB0\nttyS0\n";
    QCOMPARE(trace.str(), fiveTimes);

    // A notice taken at the call itself (no event loop ran in between).
    system = {"ttyACM0", "ttyUSB0", "ttyS0"};
    QVERIFY(notices.Send());
    QCOMPARE(lister.ListSerialPorts(), system);
    QCOMPARE(reads, 2);
    QCOMPARE(lister.ListSerialPorts(), system);
    QCOMPARE(reads, 2);

    // A notice drained by the socket notifier while the event loop runs is not forgotten.
    system = {"ttyS0"};
    QVERIFY(notices.Send());
    QVERIFY(corvane::testing::WaitFor([&] { return !notices.Pending(); }));
    QCOMPARE(lister.ListSerialPorts(), system);
    QCOMPARE(reads, 3);
  }

  void withoutNoticesReadEveryTime() {
    int reads = 0;
    HotplugPortLister lister(
        nullptr,
        [&] {
          ++reads;
          return std::vector<std::string>{"ttyS0"};
        },
        nullptr);
    QVERIFY(!lister.Watching());
    for (int step = 0; step < 4; ++step) lister.ListSerialPorts();
    QCOMPARE(reads, 4);
  }
};

QTEST_GUILESS_MAIN(HotplugPortListerTest)
#include "hotplug_port_lister_test.moc"
