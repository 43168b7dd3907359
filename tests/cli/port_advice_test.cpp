// What corvane-flash says about ports that did not open and about a scan that found no device.
#include "port_advice.h"

#include <QTest>

using namespace corvane;
using namespace corvane::cli;

namespace {

using Lines = std::vector<std::string>;

PortAttempt Attempt(std::string port, OpenCause cause, std::vector<PortHolder> holders = {}, std::string group = {}) {
  OpenFailure failure;
  failure.result = cause == OpenCause::kNone ? OpenResult::kOk : OpenResult::kOpenFailed;
  failure.cause = cause;
  failure.holders = std::move(holders);
  return {std::move(port), std::move(failure), std::move(group)};
}

}  // namespace

class PortAdviceTest : public QObject {
  Q_OBJECT

 private slots:
  void permissionDeniedNamesTheGroupAndTheNewLogin() {
    const Lines expected = {
        "/dev/ttyUSB0: permission denied",
        "  The device belongs to group dialout. Add your user to it:",
        "    sudo usermod -aG dialout $USER",
        "  then log out and in again: a new group takes effect only in a new login.",
    };
    QCOMPARE(PortFailureLines(Attempt("/dev/ttyUSB0", OpenCause::kPermissionDenied, {}, "dialout"), {}), expected);
    const Lines noGroup = {
        "/dev/ttyS0: permission denied",
        "  No group grants access to it; a udev rule can (see Troubleshooting in " CORVANE_README ").",
    };
    QCOMPARE(PortFailureLines(Attempt("/dev/ttyS0", OpenCause::kPermissionDenied), {}), noGroup);
  }

  void busyNamesTheHolders() {
    const Lines expected = {
        "/dev/ttyUSB0: busy: held by minicom (pid 4242), cat (pid 17)",
        "  Close minicom (pid 4242), or end it, and try again.",
        "  Close cat (pid 17), or end it, and try again.",
    };
    QCOMPARE(PortFailureLines(Attempt("/dev/ttyUSB0", OpenCause::kBusy, {{4242, "minicom"}, {17, "cat"}}), {}),
             expected);
    const Lines unknown = {
        "/dev/ttyUSB0: busy: held by another program",
        "  Another program has it open; close that program and try again (corvane-flash ports shows who).",
    };
    QCOMPARE(PortFailureLines(Attempt("/dev/ttyUSB0", OpenCause::kBusy), {}), unknown);
    // A path held open by hundreds of processes names three of them, then how many more.
    std::vector<PortHolder> many;
    for (int pid = 1; pid <= 250; ++pid) many.push_back({pid, "p"});
    const Lines cut = PortFailureLines(Attempt("/dev/ttyUSB0", OpenCause::kBusy, many), {});
    QCOMPARE(cut.size(), std::size_t{5});
    QCOMPARE(cut[0], std::string("/dev/ttyUSB0: busy: held by p (pid 1), p (pid 2), p (pid 3) and 247 more"));
    QCOMPARE(cut[4], std::string("  247 more programs have it open (corvane-flash ports lists them)."));
    QCOMPARE(FixLines(Attempt("/dev/ttyUSB0", OpenCause::kLocked), {}),
             Lines{"Another program holds its lock; close that program and try again."});
  }

  void notFoundListsThePortsThatExist() {
    QCOMPARE(PortFailureLines(Attempt("/dev/ttyUSB3", OpenCause::kNotFound), {"ttyUSB0", "ttyS0"}),
             (Lines{"/dev/ttyUSB3: not found", "  Serial ports present: ttyUSB0, ttyS0"}));
    QCOMPARE(FixLines(Attempt("/dev/ttyUSB3", OpenCause::kNotFound), {}), Lines{"No serial ports are present."});
  }

  void causesWithoutAFix() {
    for (const OpenCause cause : {OpenCause::kNotSerial, OpenCause::kSettingsRefused, OpenCause::kIoError})
      QVERIFY(FixLines(Attempt("/tmp/x", cause), {"ttyS0"}).empty());
    QCOMPARE(PortFailureLines(Attempt("/tmp/x", OpenCause::kNotSerial), {}), Lines{"/tmp/x: not a serial device"});
  }

  void theThreeWaysOfFindingNoDevice() {
    QCOMPARE(NoDeviceLines({}, {}), Lines{"No serial ports found: connect the adapter, or name a port with --port."});

    const Lines noneOpened = {
        "Serial ports found, but none could be opened:",
        "  /dev/ttyUSB0: busy: held by minicom (pid 4242)",
        "    Close minicom (pid 4242), or end it, and try again.",
        "  /dev/ttyS0: not a serial device",
    };
    QCOMPARE(NoDeviceLines({Attempt("/dev/ttyUSB0", OpenCause::kBusy, {{4242, "minicom"}}),
                            Attempt("/dev/ttyS0", OpenCause::kNotSerial)},
                           {"ttyUSB0", "ttyS0"}),
             noneOpened);

    QCOMPARE(NoDeviceLines({Attempt("ttyUSB0", OpenCause::kNone), Attempt("ttyS0", OpenCause::kNone)}, {}),
             Lines{"Ports opened, but no device answered on: ttyUSB0, ttyS0"});
    const Lines mixed = {
        "Ports opened, but no device answered on: ttyUSB1",
        "Ports that could not be opened:",
        "  ttyUSB0: locked by another program",
        "    Another program holds its lock; close that program and try again.",
    };
    QCOMPARE(NoDeviceLines({Attempt("ttyUSB0", OpenCause::kLocked), Attempt("ttyUSB1", OpenCause::kNone)}, {}), mixed);
  }
};

QTEST_APPLESS_MAIN(PortAdviceTest)
#include "port_advice_test.moc"
