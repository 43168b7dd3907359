// The port list of `corvane-flash ports`: what it holds for this machine's ports, how it is
// printed, a stable by-id name given as --port, and the trace's switch.
#include "port_catalog.h"

#include <unistd.h>

#include <QTemporaryDir>
#include <QTest>

#include "port_path.h"
#include "system_port.h"
#include "trace.h"

using namespace corvane;

namespace {

CatalogPort Port(std::string path, OpenFailure state) {
  CatalogPort port;
  port.path = std::move(path);
  port.state = std::move(state);
  return port;
}

OpenFailure State(OpenCause cause, std::vector<PortHolder> holders = {}) {
  return OpenFailure{
      cause == OpenCause::kNone ? OpenResult::kOk : OpenResult::kOpenFailed, cause, 0, {}, std::move(holders)};
}

}  // namespace

class PortCatalogTest : public QObject {
  Q_OBJECT

 private slots:
  void thisMachinesPortsInScanOrder() {
    const std::vector<std::string> names = SystemSerialPortNames();
    if (names.empty()) QSKIP("no serial ports on this machine");
    QTemporaryDir byId;
    const std::vector<CatalogPort> first = ListPortCatalog(byId.path().toStdString());
    QCOMPARE(first.size(), names.size());
    for (std::size_t i = 0; i < names.size(); ++i)
      QCOMPARE(first[i].path.substr(first[i].path.find_last_of('/') + 1), names[i]);

    // A stable link to the first port is found and shown with it, and resolves back to it.
    const std::string link = byId.path().toStdString() + "/usb-Corvane_Adapter_0001-if00-port0";
    QCOMPARE(::symlink(first.front().path.c_str(), link.c_str()), 0);
    const std::vector<CatalogPort> linked = ListPortCatalog(byId.path().toStdString());
    QCOMPARE(linked.front().byIdLink, link);
    for (std::size_t i = 1; i < linked.size(); ++i) QVERIFY(linked[i].byIdLink.empty());
    QCOMPARE(ResolvePortArgument(link), first.front().path);
  }

  void resolvingPortArguments() {
    QTemporaryDir dir;
    const std::string folder = dir.path().toStdString();
    QCOMPARE(::symlink("/dev/null", (folder + "/by-id-link").c_str()), 0);
    QCOMPARE(::symlink((folder + "/gone").c_str(), (folder + "/dangling").c_str()), 0);
    QCOMPARE(ResolvePortArgument(folder + "/by-id-link"), std::string("/dev/null"));
    QCOMPARE(ResolvePortArgument(folder + "/dangling"), folder + "/dangling");  // the open says "not found"
    QCOMPARE(ResolvePortArgument("ttyUSB0"), std::string("ttyUSB0"));
    QCOMPARE(ResolvePortArgument("/dev/pts/5"), std::string("/dev/pts/5"));
  }

  void table() {
    CatalogPort usb = Port("/dev/ttyUSB0", State(OpenCause::kBusy, {{4242, "minicom"}}));
    usb.description = "USB Serial";
    usb.manufacturer = "Ströme";  // columns count characters, not bytes
    usb.usbId = "1a86:7523";
    usb.serialNumber = "A1";
    usb.byIdLink = "/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0";
    const CatalogPort builtIn = Port("/dev/ttyS0", State(OpenCause::kPermissionDenied));
    const std::string expected =
        "PORT          STATE                     USB ID     SERIAL  MANUFACTURER  DESCRIPTION\n"
        "/dev/ttyUSB0  busy: minicom (pid 4242)  1a86:7523  A1      Ströme        USB Serial\n"
        "              by-id: /dev/serial/by-id/usb-1a86_USB_Serial-if00-port0\n"
        "/dev/ttyS0    no permission             -          -       -             -\n";
    QCOMPARE(FormatPortCatalog({usb, builtIn}), expected);
    QCOMPARE(FormatPortCatalog({}), std::string("No serial ports found.\n"));
    // The states the table shows besides those above.
    QCOMPARE(PortStateText(State(OpenCause::kNone)), std::string("free"));
    QCOMPARE(PortStateText(State(OpenCause::kLocked)), std::string("locked"));
    QCOMPARE(PortStateText(State(OpenCause::kBusy)), std::string("busy"));
    QCOMPARE(PortStateText(State(OpenCause::kNotFound)), std::string("not found"));
  }

  void traceIsOffUntilSwitchedOn() {
    QVERIFY(!SerialTrace().isDebugEnabled());
    QVERIFY(!FrameTrace().isDebugEnabled());
    QVERIFY(!ScanTrace().isDebugEnabled());
    QVERIFY(ScanTrace().isWarningEnabled());
    EnableTrace();
    QVERIFY(SerialTrace().isDebugEnabled());
    QVERIFY(FrameTrace().isDebugEnabled());
    QVERIFY(ScanTrace().isDebugEnabled());
    QLoggingCategory::setFilterRules({});
  }
};

QTEST_GUILESS_MAIN(PortCatalogTest)
#include "port_catalog_test.moc"
