// Why a port does not open: the holders of a device found as fuser finds them, the checks before
// an open, the lock's own failures, and the classification of what the system said.
#include "port_access.h"

#include <grp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QTemporaryDir>
#include <QTest>
#include <cerrno>
#include <cstring>
#include <fstream>

#include "holder_child.h"
#include "open_cause.h"
#include "port_holders.h"
#include "holder_watch.h"
#include "port_setup.h"
#include "raw_pty.h"

using namespace corvane;
using corvane::testing::HolderChild;
using corvane::testing::RunAsUser;

namespace {

constexpr unsigned kNobody = 65534;

// A pseudo-terminal whose device side nobody holds: only its master stays open here.
class FreePty {
 public:
  FreePty() : pty_(OpenRawPty()) {
    if (pty_.slave >= 0) ::close(pty_.slave);
  }
  ~FreePty() {
    if (pty_.master >= 0) ::close(pty_.master);
  }
  bool ok() const { return pty_.error.empty(); }
  const std::string& path() const { return pty_.slavePath; }

 private:
  RawPty pty_;
};

int CauseAsUser(const std::string& path) { return static_cast<int>(CheckPortBeforeOpen(path).cause); }
int UnreadableAsUser(const std::string& path) { return std::min(FindPortHolders(path).unreadable, 100); }
int HoldersAsUser(const std::string& path) { return static_cast<int>(FindPortHolders(path).holders.size()); }
int StateAsUser(const std::string& path) { return static_cast<int>(ProbePortState(path).cause); }

}  // namespace

class PortAccessTest : public QObject {
  Q_OBJECT

 private slots:
  void aPlainOpenInAnotherProcessMakesThePortBusy() {
    FreePty pty;
    QVERIFY(pty.ok());
    QVERIFY(FindPortHolders(pty.path()).holders.empty());
    QCOMPARE(CheckPortBeforeOpen(pty.path()).cause, OpenCause::kNone);

    HolderChild child(pty.path(), HolderChild::Hold::kOpen);
    QVERIFY(child.ok());
    const std::vector<PortHolder> expected = {{child.pid(), "corvane-holder"}};
    QCOMPARE(FindPortHolders(pty.path()).holders, expected);

    const OpenFailure failure = CheckPortBeforeOpen(pty.path());
    QCOMPARE(failure.result, OpenResult::kOpenFailed);
    QCOMPARE(failure.cause, OpenCause::kBusy);
    QCOMPARE(failure.holders, expected);
    QCOMPARE(CauseText(failure), "busy: held by corvane-holder (pid " + std::to_string(child.pid()) + ")");
  }

  void thisProcessAndOtherDevicesDoNotCount() {
    RawPty held = OpenRawPty();  // this process holds its device side
    QVERIFY(held.error.empty());
    FreePty other;
    HolderChild child(other.path(), HolderChild::Hold::kOpen);
    QVERIFY(child.ok());
    QVERIFY(FindPortHolders(held.slavePath).holders.empty());
    QCOMPARE(CheckPortBeforeOpen(held.slavePath).cause, OpenCause::kNone);
    ::close(held.slave);
    ::close(held.master);
  }

  void theHolderIsFoundThroughALink() {
    FreePty pty;
    QTemporaryDir dir;
    const std::string link = dir.path().toStdString() + "/usb-Corvane_Controller-if00";
    QCOMPARE(::symlink(pty.path().c_str(), link.c_str()), 0);
    HolderChild child(pty.path(), HolderChild::Hold::kOpen);
    QVERIFY(child.ok());
    QCOMPARE(FindPortHolders(link).holders.size(), std::size_t{1});
    QCOMPARE(CheckPortBeforeOpen(link).cause, OpenCause::kBusy);
  }

  void pathsThatAreNoSerialDevice() {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    const OpenFailure missing = CheckPortBeforeOpen(folder + "/ttyUSB9");
    QCOMPARE(missing.cause, OpenCause::kNotFound);
    QCOMPARE(missing.result, OpenResult::kOpenFailed);
    QCOMPARE(CauseText(missing), std::string("not found"));
    QCOMPARE(CheckPortBeforeOpen(folder + "/no/such/dir/ttyS0").cause, OpenCause::kNotFound);

    const OpenFailure directory = CheckPortBeforeOpen(folder);
    QCOMPARE(directory.cause, OpenCause::kNotSerial);
    QCOMPARE(directory.detail, std::string("a directory"));
    QCOMPARE(CauseText(directory), std::string("not a serial device"));

    const std::string file = folder + "/plain";
    std::ofstream(file) << "x";
    const OpenFailure regular = CheckPortBeforeOpen(file);
    QCOMPARE(regular.cause, OpenCause::kNotSerial);
    QCOMPARE(regular.detail, std::string("a regular file"));
    // The lock's own open of such paths says the same.
    PortLock lock;
    QVERIFY(!lock.Acquire(folder));
    QCOMPARE(lock.Failure().cause, OpenCause::kNotSerial);
    QVERIFY(!lock.Acquire(folder + "/ttyUSB9"));
    QCOMPARE(lock.Failure().cause, OpenCause::kNotFound);
  }

  void aLockHeldElsewhereRefusesTheLock() {
    FreePty pty;
    QTemporaryDir dir;
    const std::string alias = dir.path().toStdString() + "/alias";
    QCOMPARE(::symlink(pty.path().c_str(), alias.c_str()), 0);

    // Held by this process under another name: nobody else holds it, so it is "locked".
    PortLock first;
    QVERIFY(first.Acquire(pty.path()));
    QCOMPARE(first.Failure().cause, OpenCause::kNone);
    PortLock second;
    QVERIFY(!second.Acquire(alias));
    QCOMPARE(second.Failure().cause, OpenCause::kLocked);
    QCOMPARE(second.Failure().error, EWOULDBLOCK);
    QCOMPARE(CauseText(second.Failure()), std::string("locked by another program"));
    first.Release();
    QVERIFY(second.Acquire(alias));
    second.Release();

    // Held by another process that can be seen: it is named.
    HolderChild child(pty.path(), HolderChild::Hold::kOpenAndLock);
    QVERIFY(child.ok());
    QVERIFY(!first.Acquire(pty.path()));
    QCOMPARE(first.Failure().cause, OpenCause::kBusy);
    QCOMPARE(first.Failure().holders, (std::vector<PortHolder>{{child.pid(), "corvane-holder"}}));
  }

  void whatAnUnprivilegedUserSees() {
    if (::geteuid() != 0) QSKIP("needs root to become another user");
    FreePty pty;
    QCOMPARE(::chmod(pty.path().c_str(), 0600), 0);
    QCOMPARE(RunAsUser(kNobody, CauseAsUser, pty.path()), static_cast<int>(OpenCause::kPermissionDenied));

    // A device open to everyone, held and locked by root: the holder's descriptors may not be
    // read, so nobody is named and nothing is guessed; the kernel's lock table still shows the lock.
    QCOMPARE(::chmod(pty.path().c_str(), 0666), 0);
    HolderChild child(pty.path(), HolderChild::Hold::kOpenAndLock);
    QVERIFY(child.ok());
    QCOMPARE(RunAsUser(kNobody, HoldersAsUser, pty.path()), 0);
    QVERIFY(RunAsUser(kNobody, UnreadableAsUser, pty.path()) > 0);
    QCOMPARE(RunAsUser(kNobody, CauseAsUser, pty.path()), static_cast<int>(OpenCause::kNone));
    QCOMPARE(RunAsUser(kNobody, StateAsUser, pty.path()), static_cast<int>(OpenCause::kLocked));
    QCOMPARE(ProbePortState(pty.path()).cause, OpenCause::kBusy);  // root sees the holder
  }

  void probeSeesLocksWithoutOpening() {
    FreePty pty;
    QCOMPARE(ProbePortState(pty.path()).cause, OpenCause::kNone);
    PortLock lock;
    QVERIFY(lock.Acquire(pty.path()));
    QCOMPARE(ProbePortState(pty.path()).cause, OpenCause::kLocked);
    lock.Release();
    QCOMPARE(ProbePortState(pty.path()).cause, OpenCause::kNone);
  }

  void classificationOfErrors() {
    FreePty pty;
    const std::string device = pty.path();
    const auto cause = [&](OpenStep step, int error, std::vector<PortHolder> holders = {}) {
      return ClassifyOpenFailure(device, step, error, std::move(holders)).cause;
    };
    QCOMPARE(cause(OpenStep::kOpen, ENOENT), OpenCause::kNotFound);
    QCOMPARE(cause(OpenStep::kOpen, EACCES), OpenCause::kPermissionDenied);
    QCOMPARE(cause(OpenStep::kOpen, ENOTTY), OpenCause::kNotSerial);
    QCOMPARE(cause(OpenStep::kOpen, EBUSY), OpenCause::kBusy);
    QCOMPARE(cause(OpenStep::kLock, EWOULDBLOCK), OpenCause::kLocked);
    QCOMPARE(cause(OpenStep::kLock, EWOULDBLOCK, {{42, "minicom"}}), OpenCause::kBusy);
    QCOMPARE(cause(OpenStep::kOpen, EWOULDBLOCK), OpenCause::kIoError);

    const OpenFailure io = ClassifyOpenFailure(device, OpenStep::kOpen, EIO);
    QCOMPARE(io.cause, OpenCause::kIoError);
    QCOMPARE(CauseText(io), "I/O error: " + std::string(std::strerror(EIO)));
    QCOMPARE(CauseText(ClassifyOpenFailure(device, OpenStep::kOpen, EBUSY)),
             std::string("busy: held by another program"));
    QCOMPARE(CauseText(ClassifyOpenFailure(device, OpenStep::kOpen, EBUSY, {{42, "minicom"}, {7, ""}})),
             std::string("busy: held by minicom (pid 42), pid 7"));
    // A path that is no device is that, whatever errno came with it.
    QCOMPARE(ClassifyOpenFailure("/", OpenStep::kOpen, EACCES).cause, OpenCause::kNotSerial);

    QCOMPARE(SettingsFailure(OpenResult::kApplySettingsFailed).cause, OpenCause::kSettingsRefused);
    QCOMPARE(CauseText(SettingsFailure(OpenResult::kReadSettingsFailed)), std::string("settings refused"));
    QCOMPARE(CauseText(SettingsFailure(OpenResult::kOk)), std::string());
  }

  // The holder check walks the process table again only when someone else may have taken or
  // freed the port since its last walk.
  void heldPortsAreSeenWithoutAWalkPerOpen() {
    FreePty pty;
    HolderWatch watch;
    QVERIFY(watch.Holders(pty.path()).empty());
    for (int i = 0; i < 3; ++i) {  // this process's own opens and closes
      watch.ExpectOwnOpen(pty.path());
      PortLock lock;
      QVERIFY(lock.Acquire(pty.path()));
      QVERIFY(watch.Holders(pty.path()).empty());
    }
    QCOMPARE(watch.Walks(), 1);
    {
      HolderChild terminal(pty.path(), HolderChild::Hold::kOpen, "minicom");
      QVERIFY(terminal.ok());
      QCOMPARE(watch.Holders(pty.path()), (std::vector<PortHolder>{{terminal.pid(), "minicom"}}));
      QCOMPARE(watch.Holders(pty.path()).size(), std::size_t{1});  // still held: no walk needed
      QCOMPARE(watch.Walks(), 2);
    }
    QVERIFY(watch.Holders(pty.path()).empty());  // its close was seen
    QCOMPARE(watch.Walks(), 3);
  }

  void theGroupThatGrantsAccess() {
    if (::geteuid() != 0) QSKIP("needs root to give a file away");
    QTemporaryDir dir;
    const std::string file = dir.path().toStdString() + "/node";
    std::ofstream(file) << "x";
    const group* serial = ::getgrnam("dialout");
    if (!serial) serial = ::getgrnam("uucp");
    if (!serial) QSKIP("no serial group on this system");
    const std::string name = serial->gr_name;
    QCOMPARE(::chown(file.c_str(), 0, serial->gr_gid), 0);
    QCOMPARE(::chmod(file.c_str(), 0660), 0);
    QCOMPARE(AccessGroup(file), name);
    QCOMPARE(::chmod(file.c_str(), 0640), 0);
    QCOMPARE(AccessGroup(file), std::string());  // the group may not write: no help
    QCOMPARE(::chmod(file.c_str(), 0660), 0);
    QCOMPARE(::chown(file.c_str(), 0, 0), 0);
    QCOMPARE(AccessGroup(file), std::string());  // the superuser's group is no answer
    QCOMPARE(AccessGroup(file + ".missing"), std::string());
  }
};

QTEST_GUILESS_MAIN(PortAccessTest)
#include "port_access_test.moc"
