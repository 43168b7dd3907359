#include "port_run.h"

#include <cstdio>
#include <iostream>

#include "console_texts.h"
#include "port_path.h"
#include "run_result.h"
#include "scan_diagnosis.h"
#include "texts.h"

namespace corvane::cli {

std::string SecondsText(std::chrono::milliseconds duration) {
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g s", static_cast<double>(duration.count()) / 1000.0);
  return seconds;
}

PortRun::PortRun(const PortRunSetup& setup, PortRunListener& listener)
    : options_(setup.options),
      listener_(listener),
      port_(setup.port),
      printer_(setup.printer),
      holding_(setup.quietUntilFound),
      outBuf_([&printer = setup.printer, &out = setup.out, prefix = setup.port + ": "](const std::string& line) {
        printer.Line(out, prefix + line);
      }),
      errBuf_([this](const std::string& line) { ErrLine(line); }),
      out_(&outBuf_),
      err_(&errBuf_),
      // Plain progress lines in a pipe; on a terminal the port's row shows the progress instead.
      console_(ConsoleSetup{out_, err_, false, options_.yes, options_.file}),
      tap_(console_, TapSetup{setup.events, setup.lookUp, !setup.printer.Terminal()}),
      lister_({setup.port}),
      link_(setup.io ? setup.io : PortIoService::Create()),
      host_(qt::HostParts{tap_, link_, lister_, nullptr, nullptr, &setup.files}, *this) {
  console_.SetMessageHook([this](const std::string& text) { tap_.NoteMessage(text); });
  idleDeadline_.setSingleShot(true);
  idleDeadline_.setTimerType(Qt::PreciseTimer);
  connect(&idleDeadline_, &QTimer::timeout, this, [this] { IdleTimedOut(); });
}

PortRun::~PortRun() {
  link_.SetFrameSink(nullptr);
  link_.ClosePort();
  host_.Finish();
}

void PortRun::Start() {
  link_.SetFrameSink(this);
  host_.Handle([](Session& s) { s.FormCreate(); });
  host_.Handle([](Session& s) { s.Connect(); });
}

// As corvane-flash presses it for a single device; the press's own milestones come next.
void PortRun::Press() {
  if (!Ready()) return;
  const bool firmware = options_.command == Command::kFirmware;
  const Control button = firmware ? Control::kUpdateFirmware : Control::kWriteDataMap;
  if (!console_.Offers(button)) {
    console_.Message(std::string(firmware ? corvane::texts::kUpdateFirmware : corvane::texts::kWriteDataMap) +
                     texts::kNotOffered);
    Finish(ExitStatus::kFileRefused);
    return;
  }
  phase_ = Phase::kPressing;
  idleDeadline_.start(options_.idleTimeout);
  host_.Handle([firmware](Session& s) { firmware ? s.UpdateFirmware() : s.WriteDataMap(); });
  if (!host_.OutcomesPending()) Finish(ExitStatus::kFileRefused);
}

void PortRun::EndScan(bool announce) {
  if (!Scanning()) return;
  if (announce) {
    console_.Message(std::string(texts::kNoDeviceFound) + SecondsText(options_.scanTimeout) + ".");
    for (const std::string& line : WhyNotOpened(console_.OpenAttempts())) console_.Detail(line);
  }
  Finish(ExitStatus::kNoDevice);
}

void PortRun::Interrupt() {
  if (done_) return;
  console_.Message(phase_ == Phase::kTransferring ? texts::kInterruptedTransfer : texts::kInterrupted);
  Finish(ExitStatus::kInterrupted);
}

void PortRun::ErrLine(const std::string& line) {
  if (holding_) {
    held_.push_back(line);
  } else {
    printer_.Line(std::cerr, port_ + ": " + line);
  }
}

void PortRun::ReleaseHeldLines() {
  if (!holding_) return;
  holding_ = false;
  for (const std::string& line : held_) ErrLine(line);
  held_.clear();
}

void PortRun::ShowError(const std::string& message) { console_.ShowError(message); }

void PortRun::OnOutcome(Outcome outcome) {
  switch (outcome) {
    case Outcome::kDeviceReported:
      ReleaseHeldLines();
      if (phase_ != Phase::kScanning) break;
      phase_ = Phase::kReady;
      if (options_.command == Command::kIdentify) {
        Finish(ExitStatus::kSuccess);
      } else {
        listener_.OnReady(*this);
      }
      break;
    case Outcome::kDeviceUnsupported:
      ReleaseHeldLines();
      Finish(ExitStatus::kUnsupported);
      break;
    case Outcome::kRecordRejected:
      if (phase_ != Phase::kScanning) break;
      ReleaseHeldLines();  // a device is there: its lines are worth seeing
      console_.Message(texts::kRecordRejected + PortPath(port_) + texts::kRecordRejectedEnd);
      Finish(ExitStatus::kUpdateFailed);
      break;
    default:
      if (const auto status = UpdateStatus(phase_, outcome)) Finish(*status);
      break;
  }
}

void PortRun::OnPortVanished(const std::string& cause) {
  if (done_ || phase_ == Phase::kScanning) return;
  console_.Message(PortVanishedText(port_, cause));
  Finish(ExitStatus::kLinkDropped);
}

void PortRun::OnFrame(const std::uint8_t* frame, std::size_t length) {
  if (idleDeadline_.isActive()) idleDeadline_.start(options_.idleTimeout);
  host_.OnFrame(frame, length);
}

void PortRun::IdleTimedOut() {
  if (done_) return;
  console_.Message(std::string(texts::kIdle) + SecondsText(options_.idleTimeout) + texts::kIdleEnd);
  Finish(ExitStatus::kLinkDropped);
}

// Closes the port at once, so that nothing more is sent or dispatched, then tells the gang.
void PortRun::Finish(ExitStatus status) {
  if (done_) return;
  done_ = true;
  status_ = status;
  idleDeadline_.stop();
  host_.Finish();
  tap_.End();
  listener_.OnFinished(*this);
}

std::string PortRun::State() const {
  if (done_) return ResultWords(status_);
  switch (phase_) {
    case Phase::kScanning: return texts::kStateScanning;
    case Phase::kReady: return texts::kStateIdentified;
    case Phase::kPressing: return texts::kStateChecking;
    case Phase::kTransferring: return tap_.Facts().endFrameSent ? texts::kStateVerifying : texts::kStateSending;
  }
  return "";
}

GangRow PortRun::Row() const {
  const DeviceFacts& facts = tap_.Facts();
  GangRow row;
  row.port = port_;
  if (facts.record) {
    const std::uint16_t code = facts.record->TypeCode();
    row.model = ModelName(code).value_or(texts::kTypeCode + std::to_string(code));
  }
  row.state = State();
  row.transfer = facts.transferStarted;
  row.percent = facts.percent;
  row.sent = facts.sent;
  row.total = facts.total;
  row.seconds = facts.TransferSeconds(tap_.Now());
  return row;
}

}  // namespace corvane::cli
