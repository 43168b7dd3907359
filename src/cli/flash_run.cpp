#include "flash_run.h"

#include <QCoreApplication>
#include <cstdio>

#include "console_texts.h"
#include "hotplug_port_lister.h"
#include "port_list.h"
#include "port_path.h"
#include "scan_diagnosis.h"
#include "texts.h"

namespace corvane::cli {

namespace {

std::unique_ptr<PortLister> PortsOf(const CliOptions& options) {
  if (options.ports.empty())
    return std::make_unique<HotplugPortLister>(nullptr);  // quiet: standard output is the report's
  std::vector<std::string> ports;
  for (const std::string& port : options.ports) ports.push_back(ResolvePortArgument(port));  // by-id links too
  return std::make_unique<ChosenPortLister>(std::move(ports));
}

}  // namespace

FlashRun::FlashRun(const CliOptions& options, ConsoleView& view, const FlashRunExtras& extras)
    : options_(options),
      view_(view),
      ports_(PortsOf(options)),
      host_(qt::HostParts{extras.sessionView ? *extras.sessionView : view_, link_, *ports_, nullptr, nullptr,
                          extras.files},
            *this) {
  scanDeadline_.setSingleShot(true);
  scanDeadline_.setTimerType(Qt::PreciseTimer);  // a coarse timer may end the scan up to 5 % early
  connect(&scanDeadline_, &QTimer::timeout, this, [this] { ScanTimedOut(); });
  idleDeadline_.setSingleShot(true);
  idleDeadline_.setTimerType(Qt::PreciseTimer);
  connect(&idleDeadline_, &QTimer::timeout, this, [this] { IdleTimedOut(); });
}

FlashRun::~FlashRun() {
  link_.SetFrameSink(nullptr);
  link_.ClosePort();
  host_.Finish();
}

ExitStatus FlashRun::Run() {
  link_.SetFrameSink(this);
  host_.Handle([](Session& s) { s.FormCreate(); });
  // CONNECT once the loop runs, so that the reply to the first request is dispatched by it.
  QTimer::singleShot(0, this, [this] {
    if (host_.Finished()) return;
    scanDeadline_.start(options_.scanTimeout);
    host_.Handle([](Session& s) { s.Connect(); });
  });
  QCoreApplication::exec();
  Finish(status_);  // the loop may also have been ended from outside
  return status_;
}

// The same box as the window's for an exception that escaped a handler, as a line.
void FlashRun::ShowError(const std::string& message) { view_.ShowError(message); }

void FlashRun::OnOutcome(Outcome outcome) {
  switch (outcome) {
    case Outcome::kDeviceReported:
      if (phase_ == Phase::kScanning) OnDeviceReported();
      break;
    case Outcome::kDeviceUnsupported:
      view_.Detail(texts::kConnectedOn + PortShown(view_.LastOpenedPort()));
      Finish(ExitStatus::kUnsupported);
      break;
    case Outcome::kRecordRejected:
      // A device is there: waiting out the scan timeout would only end in "no device".
      if (phase_ != Phase::kScanning) break;
      view_.Message(texts::kRecordRejected + PortShown(view_.LastOpenedPort()) + texts::kRecordRejectedEnd);
      Finish(ExitStatus::kUpdateFailed);
      break;
    default:
      if (const auto status = UpdateStatus(phase_, outcome)) Finish(*status);
      break;
  }
}

void FlashRun::OnPortVanished(const std::string& cause) {
  if (host_.Finished() || phase_ == Phase::kScanning) return;
  view_.Message(PortVanishedText(view_.LastOpenedPort(), cause));
  Finish(ExitStatus::kLinkDropped);
}

void FlashRun::OnFrame(const std::uint8_t* frame, std::size_t length) {
  if (idleDeadline_.isActive()) idleDeadline_.start(options_.idleTimeout);
  host_.OnFrame(frame, length);
}

void FlashRun::OnDeviceReported() {
  scanDeadline_.stop();
  view_.Detail(texts::kConnectedOn + PortShown(view_.LastOpenedPort()));
  idleDeadline_.start(options_.idleTimeout);
  if (options_.command == Command::kIdentify) {
    Finish(ExitStatus::kSuccess);
  } else {
    PressUpdateButton();
  }
}

// The press's own milestones (transfer started, file refused) come next from the host.
void FlashRun::PressUpdateButton() {
  const bool firmware = options_.command == Command::kFirmware;
  const Control button = firmware ? Control::kUpdateFirmware : Control::kWriteDataMap;
  // The window shows "write data map" only for the model that takes one.
  if (!view_.Offers(button)) {
    view_.Message(std::string(firmware ? corvane::texts::kUpdateFirmware : corvane::texts::kWriteDataMap) +
                  texts::kNotOffered);
    Finish(ExitStatus::kFileRefused);
    return;
  }
  phase_ = Phase::kPressing;
  host_.Handle([firmware](Session& s) { firmware ? s.UpdateFirmware() : s.WriteDataMap(); });
  // A press that reported nothing (an error box from the handler) has not sent the file.
  if (!host_.OutcomesPending()) Finish(ExitStatus::kFileRefused);
}

void FlashRun::ScanTimedOut() {
  if (host_.Finished() || phase_ != Phase::kScanning) return;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g s.", static_cast<double>(options_.scanTimeout.count()) / 1000.0);
  view_.Message(std::string(texts::kNoDeviceFound) + seconds);
  for (const std::string& line : WhyNoDevice(view_.OpenAttempts(), options_.ports.empty())) view_.Detail(line);
  Finish(ExitStatus::kNoDevice);
}

void FlashRun::IdleTimedOut() {
  if (host_.Finished()) return;
  char seconds[32];
  std::snprintf(seconds, sizeof seconds, "%g s", static_cast<double>(options_.idleTimeout.count()) / 1000.0);
  view_.Message(std::string(texts::kIdle) + seconds + texts::kIdleEnd);
  Finish(ExitStatus::kLinkDropped);
}

// A termination signal ends the run in order: the port is closed and the script learns why.
void FlashRun::Interrupt() {
  if (host_.Finished()) return;
  view_.Message(phase_ == Phase::kTransferring ? texts::kInterruptedTransfer : texts::kInterrupted);
  Finish(ExitStatus::kInterrupted);
}

// Closes the port at once, so that nothing more is sent or dispatched, then ends the loop.
void FlashRun::Finish(ExitStatus status) {
  if (!host_.Finished()) status_ = status;
  scanDeadline_.stop();
  idleDeadline_.stop();
  host_.Finish();
  QCoreApplication::exit(Code(status_));
}

}  // namespace corvane::cli
