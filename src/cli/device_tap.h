// What one device's run came to, gathered on its way from the session to the console: the port,
// the identification record, the transfer's progress and the verdict. The tap passes every call
// on to the console view unchanged and tells listeners (the JSON events) what happened.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "identification.h"
#include "view.h"

namespace corvane::cli {

// Where a serial port comes from: its /dev/serial/by-id link and the USB serial number; empty
// when there is none (a built-in port, a pseudo-terminal).
struct PortIdentity {
  std::string byId;
  std::string usbSerial;
};
using PortIdentityLookup = std::function<PortIdentity(const std::string& port)>;

using Clock = std::chrono::steady_clock;

struct DeviceFacts {
  std::string port;  // the port the scan tried last; once found, the device's
  std::vector<std::string> portsTried;  // every port the scan tried to open, in order, once each
  bool found = false;
  bool recordRejected = false;  // an identification record failed its check
  PortIdentity identity;
  std::optional<IdentificationRecord> record;  // the last one received
  bool transferStarted = false;
  std::uint32_t sent = 0;   // blocks handed to the link (all of them once the end frame went out)
  std::uint32_t total = 0;  // blocks in the transfer
  int percent = 0;
  bool endFrameSent = false;
  std::optional<Verdict> verdict;
  Clock::time_point transferStart{};
  std::optional<Clock::time_point> end;  // the verdict, or the run's end
  std::string lastMessage;  // the last box, notice, updater message or status other than the routine ones

  // From block 0 to the end (or to `now` while it runs); 0 when no transfer started.
  double TransferSeconds(Clock::time_point now) const;
};

// The name of a supported model as its report names it ("Quarnel Basis"); nothing otherwise.
std::optional<std::string> ModelName(std::uint16_t typeCode);

// The record's bytes 9..31, which the program does not interpret: the device's own, as 46
// lowercase hex digits.
std::string DeviceIdHex(const IdentificationRecord& record);

enum class Question { kOlderFirmware, kSameFirmware, kOther };

class DeviceEvents {
 public:
  virtual ~DeviceEvents() = default;
  virtual void OnFound(const DeviceFacts&) {}
  virtual void OnReport(const DeviceFacts&) {}
  virtual void OnProgress(const DeviceFacts&) {}  // every block handed to the link
  virtual void OnQuestion(const DeviceFacts&, Question, bool /*yes*/) {}
  virtual void OnResult(const DeviceFacts&) {}
};

struct TapSetup {
  DeviceEvents* events = nullptr;
  PortIdentityLookup lookUp;     // none: found ports have no identity
  bool forwardProgress = true;   // hand the progress on to the view (off: a gang's table shows it)
  std::function<Clock::time_point()> clock = [] { return Clock::now(); };
};

class DeviceTap final : public View {
 public:
  DeviceTap(View& view, TapSetup setup);

  const DeviceFacts& Facts() const { return facts_; }
  // A message of the updater itself (the scan timeout, an interruption), for the record.
  void NoteMessage(const std::string& text) { facts_.lastMessage = text; }
  // The run has ended; a transfer without a verdict ends now.
  void End();
  Clock::time_point Now() const { return setup_.clock(); }

  void ClearMemo() override { view_.ClearMemo(); }
  void AppendMemoLine(const std::string& line) override { view_.AppendMemoLine(line); }
  void SetStatus(const std::string& text) override;
  void SetBackground(Colour colour) override { view_.SetBackground(colour); }
  void SetEnabled(Control control, bool enabled) override { view_.SetEnabled(control, enabled); }
  void SetVisible(Control control, bool visible) override { view_.SetVisible(control, visible); }
  void SetGauge(int percent) override { view_.SetGauge(percent); }
  void ShowProgress(std::uint32_t block, std::uint32_t blockCount) override;
  void ShowVerdict(const Verdict& verdict) override;
  void ShowPorts(const std::vector<std::string>& names, const std::string& current) override;
  void ShowNotice(const std::string& text) override;
  BoxAnswer ShowBox(const std::string& text, const std::string& caption, BoxButtons buttons) override;
  std::optional<std::string> ChooseFile(const FileFilter& filter) override { return view_.ChooseFile(filter); }
  void ReportOutcome(Outcome outcome) override;
  void ReportIdentification(const IdentificationRecord& record) override;
  void ShowOpenAttempt(const std::string& port, const OpenFailure& failure) override;
  void Trace(const std::string& text) override { view_.Trace(text); }

 private:
  View& view_;
  TapSetup setup_;
  DeviceFacts facts_;
};

}  // namespace corvane::cli
