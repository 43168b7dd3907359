// The Win32 port I/O and discovery: device paths, open failures, the line settings read back,
// a request answered through the reader, close with a read pending, a port whose device went
// away, and the discovery listing the mapped port. Exclusivity (share mode 0) cannot be tried
// here: Wine does not enforce it.
#include <windows.h>

#include <QTest>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <sstream>
#include <vector>

#include "device_path.h"
#include "frame.h"
#include "port_io.h"
#include "port_list.h"
#include "system_port.h"
#include "windows_port_io.h"

using namespace corvane;
using namespace std::chrono_literals;

namespace {

// Records what the port delivers; can be told to pause after each delivery.
class Recorder : public PortReceiver {
 public:
  bool OnBytes(const std::uint8_t* data, std::size_t length) override {
    std::lock_guard lock(mutex_);
    bytes_.insert(bytes_.end(), data, data + length);
    ++reads_;
    changed_.notify_all();
    return !pauseEach_;
  }
  void OnVanished(const std::string& cause) override {
    std::lock_guard lock(mutex_);
    ++vanished_;
    cause_ = cause;
    changed_.notify_all();
  }

  void PauseEach(bool pause) {
    std::lock_guard lock(mutex_);
    pauseEach_ = pause;
  }
  // Waits until at least `count` bytes have come; false at the deadline.
  bool WaitBytes(std::size_t count, std::chrono::milliseconds deadline = 10s) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, deadline, [&] { return bytes_.size() >= count; });
  }
  bool WaitVanished(std::chrono::milliseconds deadline = 10s) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, deadline, [&] { return vanished_ > 0; });
  }
  std::vector<std::uint8_t> Bytes() {
    std::lock_guard lock(mutex_);
    return bytes_;
  }
  int Reads() {
    std::lock_guard lock(mutex_);
    return reads_;
  }
  int Vanished() {
    std::lock_guard lock(mutex_);
    return vanished_;
  }
  std::string Cause() {
    std::lock_guard lock(mutex_);
    return cause_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::vector<std::uint8_t> bytes_;
  int reads_ = 0;
  int vanished_ = 0;
  std::string cause_;
  bool pauseEach_ = false;
};

std::string Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

void SendIdentify(PortIo& port, std::uint8_t sequence) {
  const IdentifyRequestFrame request = BuildIdentifyRequest(sequence, {1, 2, 3, 4});
  port.Write(request.data(), request.size());
}

}  // namespace

class PortIoTest : public QObject {
  Q_OBJECT

  std::shared_ptr<PortIoService> service_ = PortIoService::Create();
  std::string port_;  // a simulated controller's port
  std::string vanishingPort_;  // one that closes its line at the first bytes

 private slots:
  void initTestCase() {
    port_ = Env("CORVANE_TEST_COM");
    vanishingPort_ = Env("CORVANE_TEST_VANISHING_COM");
  }

  void devicePaths() {
    QCOMPARE(DevicePath("COM4").value(), std::string("COM4"));
    QCOMPARE(DevicePath("COM10").value(), std::string("\\\\.\\COM10"));
    QCOMPARE(DevicePath("").value(), std::string());
    QCOMPARE(DevicePath("COMPOSITE12").value(), std::string("\\\\.\\COMPOSITE12"));  // 15 characters
    QVERIFY(!DevicePath("COMPOSITE123").has_value());
  }

  void openFailures() {
    auto receiver = std::make_shared<Recorder>();
    OpenFailure failure;
    QVERIFY(!service_->Open("COM199", receiver, failure));
    QCOMPARE(failure.result, OpenResult::kOpenFailed);
    QCOMPARE(failure.cause, OpenCause::kNotFound);

    QVERIFY(!service_->Open("", receiver, failure));
    QCOMPARE(failure.result, OpenResult::kOpenFailed);

    QVERIFY(!service_->Open("COMPOSITE123", receiver, failure));  // too long for the device path
    QCOMPARE(failure.result, OpenResult::kOpenFailed);
    QCOMPARE(failure.cause, OpenCause::kNotFound);

    // A device that opens but is no serial port: its line settings cannot be read.
    QVERIFY(!service_->Open("NUL", receiver, failure));
    QCOMPARE(failure.result, OpenResult::kReadSettingsFailed);
    QCOMPARE(failure.cause, OpenCause::kSettingsRefused);
  }

  void settingsReadBack() {
    if (port_.empty()) QSKIP("no COM port mapped (scripts/test-windows.sh maps one)");
    auto receiver = std::make_shared<Recorder>();
    OpenFailure failure;
    auto port = service_->Open(port_, receiver, failure);
    QVERIFY2(port, failure.detail.c_str());
    const HANDLE handle = dynamic_cast<WindowsPortIo&>(*port).NativeHandle();
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    QVERIFY(GetCommState(handle, &dcb));
    QCOMPARE(dcb.BaudRate, DWORD{115200});
    QCOMPARE(dcb.ByteSize, BYTE{8});
    QCOMPARE(dcb.Parity, BYTE{NOPARITY});
    QCOMPARE(dcb.StopBits, BYTE{ONESTOPBIT});
    QCOMPARE(dcb.fOutxCtsFlow, DWORD{0});
    QCOMPARE(dcb.fOutxDsrFlow, DWORD{0});
    QCOMPARE(dcb.fDtrControl, DWORD{DTR_CONTROL_DISABLE});
    QCOMPARE(dcb.fRtsControl, DWORD{RTS_CONTROL_DISABLE});
    QCOMPARE(dcb.fOutX, DWORD{0});
    QCOMPARE(dcb.fInX, DWORD{0});
    COMMTIMEOUTS timeouts{};
    QVERIFY(GetCommTimeouts(handle, &timeouts));
    QCOMPARE(timeouts.ReadIntervalTimeout, DWORD{0});
    QCOMPARE(timeouts.ReadTotalTimeoutConstant, DWORD{0});
    QCOMPARE(timeouts.WriteTotalTimeoutConstant, DWORD{0});
    port->Close();
    QCOMPARE(dynamic_cast<WindowsPortIo&>(*port).NativeHandle(), INVALID_HANDLE_VALUE);
  }

  // The controller answers each identification request with one 64-byte frame; a delivery that
  // asks for a pause holds the next one back until Resume.
  void requestsAnswered() {
    if (port_.empty()) QSKIP("no COM port mapped");
    auto receiver = std::make_shared<Recorder>();
    receiver->PauseEach(true);
    OpenFailure failure;
    auto port = service_->Open(port_, receiver, failure);
    QVERIFY2(port, failure.detail.c_str());
    SendIdentify(*port, 1);
    QVERIFY(receiver->WaitBytes(kFrameSize));
    std::vector<std::uint8_t> bytes = receiver->Bytes();
    QCOMPARE(bytes.size(), kFrameSize);
    QVERIFY(CheckFrame(bytes.data(), static_cast<std::uint16_t>(bytes.size())));
    QCOMPARE(FrameTypeCode(bytes.data()), std::uint16_t{kIdentifyReply});

    SendIdentify(*port, 2);
    port->Resume();
    QVERIFY(receiver->WaitBytes(2 * kFrameSize));
    bytes = receiver->Bytes();
    QVERIFY(CheckFrame(bytes.data() + kFrameSize, kFrameSize));
    QCOMPARE(receiver->Vanished(), 0);
  }

  // Close with the reader waiting for bytes returns without waiting for it, releases the port
  // (it opens again at once), and nothing is delivered after it.
  void closeWithReadPending() {
    if (port_.empty()) QSKIP("no COM port mapped");
    auto receiver = std::make_shared<Recorder>();
    OpenFailure failure;
    auto port = service_->Open(port_, receiver, failure);
    QVERIFY2(port, failure.detail.c_str());
    port->Close();
    port->Close();  // twice is once
    SendIdentify(*port, 3);  // does nothing once closed
    port.reset();

    auto again = std::make_shared<Recorder>();
    auto reopened = service_->Open(port_, again, failure);
    QVERIFY2(reopened, failure.detail.c_str());
    SendIdentify(*reopened, 4);
    QVERIFY(again->WaitBytes(kFrameSize));
    QCOMPARE(receiver->Reads(), 0);
    QCOMPARE(receiver->Vanished(), 0);
  }

  // The controller closes its line at the first bytes: the port reports that once, closes
  // itself, and then does nothing. On Windows the reader's pending wait fails; on Wine a
  // pseudo-terminal whose other side closed fails the next write, so the request is repeated as
  // the session's response timer would.
  void vanishedPort() {
    if (vanishingPort_.empty()) QSKIP("no vanishing COM port mapped");
    auto receiver = std::make_shared<Recorder>();
    OpenFailure failure;
    auto port = service_->Open(vanishingPort_, receiver, failure);
    QVERIFY2(port, failure.detail.c_str());
    const auto deadline = std::chrono::steady_clock::now() + 10s;
    for (std::uint8_t sequence = 5; !receiver->WaitVanished(200ms); ++sequence) {
      QVERIFY(std::chrono::steady_clock::now() < deadline);
      SendIdentify(*port, sequence);
    }
    QCOMPARE(dynamic_cast<WindowsPortIo&>(*port).NativeHandle(), INVALID_HANDLE_VALUE);
    SendIdentify(*port, 99);
    port->Close();
    QCOMPARE(receiver->Vanished(), 1);
    QVERIFY2(!receiver->Cause().empty(), "the cause is named");
  }

  void discovery() {
    const std::vector<std::string> names = SystemSerialPortNames();
    for (const std::string& name : names) QVERIFY2(IsComPortName(name), name.c_str());
    if (port_.empty()) QSKIP("no COM port mapped");
    QVERIFY(std::find(names.begin(), names.end(), port_) != names.end());

    std::ostringstream trace;
    SystemPortLister lister(&trace);
    const std::vector<std::string> listed = lister.ListSerialPorts();
    QVERIFY(std::find(listed.begin(), listed.end(), port_) != listed.end());
    QVERIFY(trace.str().find(port_ + "\n") != std::string::npos);
  }
};

QTEST_GUILESS_MAIN(PortIoTest)
#include "port_io_test.moc"
