// Each port has a reader and a writer thread. Both, and the PortIo object, share one PortState;
// whoever ends last frees it, so Close never waits for a thread. Every call on the port handle is
// made under the state's mutex after checking that the port is still open: none of them blocks
// (waits are on the threads' own events, outside the mutex), and a handle closed by one side is
// never used, or mistaken for a newer handle of the same value, by another.
#include <windows.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "device_path.h"
#include "frame.h"
#include "system_error.h"
#include "windows_port_io.h"

namespace corvane {
namespace {

constexpr DWORD kDriverQueueSize = 1024;
// Failures in a row, of kinds that do not mean the device is gone, after which it is taken as gone
// anyway: a port that only fails must not keep its reader spinning.
constexpr int kFailuresBeforeGone = 16;

struct PortState {
  PortState(HANDLE handle, std::shared_ptr<PortReceiver> r) : port(handle), receiver(std::move(r)) {}

  // Closes the port once; `mutex` is held. Cancelling first ends the threads' pending wait, read
  // and write on every Windows version and on Wine alike; CloseHandle alone does it on Windows.
  void CloseLocked() {
    if (closed) return;
    closed = true;
    CancelIoEx(port, nullptr);
    CloseHandle(port);
    port = INVALID_HANDLE_VALUE;
    writerWake.notify_all();
    readerWake.notify_all();
  }

  // The device is gone: the port is closed here, once, and the receiver told, unless Close came
  // first. `mutex` is not held.
  void Vanish(DWORD error) {
    {
      std::lock_guard lock(mutex);
      if (closed) return;
      CloseLocked();
    }
    receiver->OnVanished(SystemMessage(error));
  }

  std::mutex mutex;
  HANDLE port;
  bool closed = false;

  // The writer's queue: bytes handed over and not yet given to WriteFile.
  std::condition_variable writerWake;
  std::vector<std::uint8_t> pending;
  bool writing = false;

  // The reader's pause between a delivery that asked for it and Resume.
  std::condition_variable readerWake;
  bool resumed = false;

  const std::shared_ptr<PortReceiver> receiver;
};

// One overlapped operation's event and record, made when a thread starts and released when it
// ends (after its last operation has completed).
class Overlapped {
 public:
  Overlapped() : event_(CreateEventA(nullptr, TRUE, TRUE, nullptr)) { record_.hEvent = event_; }
  ~Overlapped() {
    if (event_) CloseHandle(event_);
  }
  Overlapped(const Overlapped&) = delete;
  Overlapped& operator=(const Overlapped&) = delete;

  bool Valid() const { return event_ != nullptr; }
  OVERLAPPED* Record() { return &record_; }
  // Waits for the operation just started to complete.
  bool Wait() { return WaitForSingleObject(event_, INFINITE) == WAIT_OBJECT_0; }

 private:
  HANDLE event_;
  OVERLAPPED record_{};
};

// What one step of the reader came to.
enum class Step { kDone, kNothing, kStopped, kFailed };

class Reader {
 public:
  explicit Reader(std::shared_ptr<PortState> state) : state_(std::move(state)) {}

  void Run() {
    if (!overlapped_.Valid()) return state_->Vanish(GetLastError());
    {
      std::lock_guard lock(state_->mutex);
      if (state_->closed) return;
      SetCommMask(state_->port, EV_RXCHAR);
    }
    bool readFirst = false;  // bytes may be queued without a new receive event
    int failures = 0;
    for (;;) {
      Step step = readFirst ? Step::kDone : WaitForBytes();
      std::size_t length = 0;
      bool more = false;
      if (step == Step::kDone) step = ReadQueued(length, more);
      if (step == Step::kStopped) return;
      if (step == Step::kFailed) {
        if (IsDeviceGoneError(error_) || ++failures >= kFailuresBeforeGone) return state_->Vanish(error_);
        readFirst = false;
        continue;
      }
      failures = 0;
      readFirst = more;
      if (step == Step::kNothing || length == 0) continue;
      bool paused = false;
      if (!Deliver(length, paused)) return;
      readFirst = more || paused;  // what came during a pause is looked for before the next wait
    }
  }

 private:
  // Starts WaitCommEvent and waits for it; kDone when bytes were received.
  Step WaitForBytes() {
    {
      std::lock_guard lock(state_->mutex);
      if (state_->closed) return Step::kStopped;
      mask_ = 0;
      if (!WaitCommEvent(state_->port, &mask_, overlapped_.Record()) && !Pending()) return Step::kFailed;
    }
    if (!overlapped_.Wait()) return Failed();
    DWORD transferred = 0;
    {
      std::lock_guard lock(state_->mutex);
      if (state_->closed) return Step::kStopped;
      if (!GetOverlappedResult(state_->port, overlapped_.Record(), &transferred, TRUE)) return Failed();
    }
    return (mask_ & EV_RXCHAR) ? Step::kDone : Step::kNothing;
  }

  // Reads exactly the bytes the driver has queued, at most one buffer's worth; `more` tells that
  // some were left queued.
  Step ReadQueued(std::size_t& length, bool& more) {
    DWORD queued = 0;
    {
      std::lock_guard lock(state_->mutex);
      if (state_->closed) return Step::kStopped;
      DWORD lineErrors = 0;
      COMSTAT status{};
      if (!ClearCommError(state_->port, &lineErrors, &status)) return Failed();
      queued = status.cbInQue;
    }
    if (queued == 0) return Step::kNothing;
    const DWORD count = std::min<DWORD>(queued, static_cast<DWORD>(buffer_.size()));
    more = queued > count;
    {
      std::lock_guard lock(state_->mutex);
      if (state_->closed) return Step::kStopped;
      if (!ReadFile(state_->port, buffer_.data(), count, nullptr, overlapped_.Record()) && !Pending())
        return Step::kFailed;
    }
    if (!overlapped_.Wait()) return Failed();
    DWORD received = 0;
    {
      std::lock_guard lock(state_->mutex);
      if (state_->closed) return Step::kStopped;
      if (!GetOverlappedResult(state_->port, overlapped_.Record(), &received, TRUE)) return Failed();
    }
    length = received;
    return Step::kDone;
  }

  // Hands the bytes to the receiver and, when it asks for a pause, waits for Resume. False once
  // the port is closed.
  bool Deliver(std::size_t length, bool& paused) {
    {
      std::lock_guard lock(state_->mutex);
      if (state_->closed) return false;
    }
    if (state_->receiver->OnBytes(buffer_.data(), length)) return true;
    paused = true;
    std::unique_lock lock(state_->mutex);
    state_->readerWake.wait(lock, [this] { return state_->resumed || state_->closed; });
    state_->resumed = false;
    return !state_->closed;
  }

  // An operation that did not start stays not started unless the system said it is pending.
  bool Pending() {
    error_ = GetLastError();
    return error_ == ERROR_IO_PENDING;
  }

  Step Failed() {
    error_ = GetLastError();
    return Step::kFailed;
  }

  const std::shared_ptr<PortState> state_;
  Overlapped overlapped_;
  DWORD mask_ = 0;
  DWORD error_ = 0;
  std::array<std::uint8_t, kRxBufferSize> buffer_{};
};

// Writes what Write queued, one WriteFile at a time, each after the previous one completed. A
// write that fails tells that the device is gone (line errors do not abort writes, and no write in
// progress is purged): on Wine a pseudo-terminal whose other side closed says so only here.
void RunWriter(const std::shared_ptr<PortState>& state) {
  Overlapped overlapped;
  if (!overlapped.Valid()) return;
  std::vector<std::uint8_t> bytes;
  for (;;) {
    DWORD error = 0;
    {
      std::unique_lock lock(state->mutex);
      state->writerWake.wait(lock, [&] { return state->closed || !state->pending.empty(); });
      if (state->closed) return;
      bytes.swap(state->pending);
      state->pending.clear();
      if (!WriteFile(state->port, bytes.data(), static_cast<DWORD>(bytes.size()), nullptr, overlapped.Record()))
        error = GetLastError();
      if (error == 0 || error == ERROR_IO_PENDING) state->writing = true;
    }
    if (error != 0 && error != ERROR_IO_PENDING) return state->Vanish(error);
    const bool completed = overlapped.Wait();
    {
      std::lock_guard lock(state->mutex);
      state->writing = false;
      if (state->closed) return;
      DWORD written = 0;
      if (completed && GetOverlappedResult(state->port, overlapped.Record(), &written, TRUE)) continue;
      error = GetLastError();
    }
    return state->Vanish(error);
  }
}

// Wine maps COM ports onto Unix devices, pseudo-terminals among them, where clearing the output
// discards what the other side has not read yet: bytes a real line would already have delivered.
bool OutputPurgeCutsDelivered() {
  static const bool wine = GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version") != nullptr;
  return wine;
}

class Port final : public WindowsPortIo {
 public:
  explicit Port(std::shared_ptr<PortState> state) : state_(std::move(state)), purgeOutput_(!OutputPurgeCutsDelivered()) {}
  ~Port() override { Close(); }

  void Resume() override {
    std::lock_guard lock(state_->mutex);
    if (state_->closed) return;
    state_->resumed = true;
    state_->readerWake.notify_all();
  }

  // The driver's output queue is cleared before a write when none is in progress or waiting
  // (not under Wine); a write in progress is never cut.
  void Write(const std::uint8_t* data, std::size_t length) override {
    if (length == 0) return;
    std::lock_guard lock(state_->mutex);
    if (state_->closed) return;
    if (purgeOutput_ && !state_->writing && state_->pending.empty()) PurgeComm(state_->port, PURGE_TXCLEAR);
    state_->pending.insert(state_->pending.end(), data, data + length);
    state_->writerWake.notify_one();
  }

  void Close() override {
    std::lock_guard lock(state_->mutex);
    state_->CloseLocked();
  }

  HANDLE NativeHandle() const override {
    std::lock_guard lock(state_->mutex);
    return state_->port;
  }

 private:
  const std::shared_ptr<PortState> state_;
  const bool purgeOutput_;
};

// The threads a service started and that have not ended yet.
struct Threads {
  std::mutex mutex;
  std::condition_variable ended;
  int running = 0;
};

class WindowsPortIoService final : public PortIoService {
 public:
  // Closes the ports still open and lets their threads end (they end once their pending calls are
  // cancelled), so that none outlives the program's own objects. Never reached from a dispatch:
  // the service goes with its link or gang.
  ~WindowsPortIoService() override {
    for (const std::weak_ptr<PortState>& weak : states_) {
      if (const auto state = weak.lock()) {
        std::lock_guard lock(state->mutex);
        state->CloseLocked();
      }
    }
    std::unique_lock lock(threads_->mutex);
    threads_->ended.wait_for(lock, std::chrono::seconds(5), [this] { return threads_->running == 0; });
  }

  std::unique_ptr<PortIo> Open(const std::string& path, std::shared_ptr<PortReceiver> receiver,
                               OpenFailure& failure) override {
    failure = {};
    const std::optional<std::string> device = DevicePath(path);
    if (!device) {
      failure.result = OpenResult::kOpenFailed;
      failure.cause = OpenCause::kNotFound;
      failure.detail = "the name is too long for a port";
      return nullptr;
    }
    const HANDLE handle = CreateFileA(device->c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
      failure = CreateFileFailure(GetLastError());
      return nullptr;
    }
    DWORD error = 0;
    const OpenResult configured = ConfigurePort(handle, error);
    if (configured != OpenResult::kOk) {
      CloseHandle(handle);
      failure = SettingsFailure(configured);
      failure.error = static_cast<int>(error);
      failure.detail = SystemMessage(error);
      return nullptr;
    }
    SetupComm(handle, kDriverQueueSize, kDriverQueueSize);
    PurgeComm(handle, PURGE_RXCLEAR);  // bytes sent before the open are not ours

    auto state = std::make_shared<PortState>(handle, std::move(receiver));
    std::erase_if(states_, [](const std::weak_ptr<PortState>& weak) { return weak.expired(); });
    states_.push_back(state);
    Start([reader = std::make_shared<Reader>(state)] { reader->Run(); });
    Start([state] { RunWriter(state); });
    return std::make_unique<Port>(std::move(state));
  }

 private:
  // Runs `body` on a thread of its own that frees what it holds before it counts itself ended.
  template <class F>
  void Start(F body) {
    {
      std::lock_guard lock(threads_->mutex);
      ++threads_->running;
    }
    std::thread([threads = threads_, body = std::move(body)]() mutable {
      body();
      { [[maybe_unused]] F done = std::move(body); }
      std::lock_guard lock(threads->mutex);
      --threads->running;
      threads->ended.notify_all();
    }).detach();
  }

  const std::shared_ptr<Threads> threads_ = std::make_shared<Threads>();
  std::vector<std::weak_ptr<PortState>> states_;
};

}  // namespace

OpenResult ConfigurePort(HANDLE port, DWORD& error) {
  DCB dcb{};
  dcb.DCBlength = sizeof(DCB);
  if (!GetCommState(port, &dcb)) {
    error = GetLastError();
    return OpenResult::kReadSettingsFailed;
  }
  dcb.BaudRate = CBR_115200;
  dcb.fBinary = 1;
  dcb.fOutxCtsFlow = 0;
  dcb.fOutxDsrFlow = 0;
  dcb.fDtrControl = DTR_CONTROL_DISABLE;
  dcb.fDsrSensitivity = 0;
  dcb.fNull = 0;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  dcb.fAbortOnError = 0;
  // A port left with XON/XOFF by another program would swallow the bytes 0x11 and 0x13 of
  // binary frames.
  dcb.fOutX = 0;
  dcb.fInX = 0;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  if (!SetCommState(port, &dcb)) {
    error = GetLastError();
    return OpenResult::kApplySettingsFailed;
  }
  COMMTIMEOUTS timeouts{};
  if (!SetCommTimeouts(port, &timeouts)) {
    error = GetLastError();
    return OpenResult::kTimeoutsFailed;
  }
  return OpenResult::kOk;
}

std::shared_ptr<PortIoService> PortIoService::Create() { return std::make_shared<WindowsPortIoService>(); }

}  // namespace corvane
