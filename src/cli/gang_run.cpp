#include "gang_run.h"

#include <QCoreApplication>
#include <algorithm>
#include <iostream>

#include "console_texts.h"
#include "console_view.h"
#include "file_facts.h"
#include "file_refusal.h"
#include "hotplug_port_lister.h"
#include "port_path.h"
#include "scan_diagnosis.h"
#include "update_file_check.h"

namespace corvane::cli {
namespace {

constexpr std::chrono::milliseconds kRedrawInterval{200};

}  // namespace

GangRun::GangRun(const GangSetup& setup)
    : setup_(setup), printer_(setup.human, setup.terminal, setup.columns), systemPorts_(setup.options.ports.empty()) {
  scanDeadline_.setSingleShot(true);
  scanDeadline_.setTimerType(Qt::PreciseTimer);
  connect(&scanDeadline_, &QTimer::timeout, this, [this] { ScanTimedOut(); });
  connect(&redraw_, &QTimer::timeout, this, [this] { DrawRows(); });
}

// The runs close their ports before the printer and the file go.
GangRun::~GangRun() { entries_.clear(); }

ExitStatus GangRun::Run() {
  if (setup_.options.command != Command::kIdentify && !CheckFile()) return ExitStatus::kFileRefused;
  const std::vector<std::string> ports = Ports();
  for (const std::string& port : ports) portWidth_ = std::max(portWidth_, port.size());
  for (const std::string& port : ports) {
    const PortRunSetup runSetup{setup_.options,         port,          printer_,    setup_.human, files_,
                                setup_.recorder.events, setup_.lookUp, systemPorts_, io_};
    entries_.push_back({std::make_unique<PortRun>(runSetup, static_cast<PortRunListener&>(*this))});
  }
  // The scan begins once the loop runs, so that the replies to the first requests are dispatched.
  QTimer::singleShot(0, this, [this] { StartPorts(); });
  QCoreApplication::exec();
  return Status();
}

// The file's own checks, once for every device; a refusal ends the gang before a port is opened.
bool GangRun::CheckFile() {
  const CliOptions& options = setup_.options;
  const TransferKind kind = options.command == Command::kFirmware ? TransferKind::kFirmware : TransferKind::kDataMap;
  if (const std::optional<std::string> refusal = RefuseUpdateFile(kind, options.file, files_)) {
    Say(*refusal);
    if (setup_.recorder.events) setup_.recorder.events->Error("", ExitStatus::kFileRefused, *refusal);
    return false;
  }
  if (setup_.recorder.log) file_ = DescribeFile(options.file, kind, files_.Cached(options.file)->bytes);
  return true;
}

std::vector<std::string> GangRun::Ports() const {
  if (systemPorts_) return HotplugPortLister(nullptr).ListSerialPorts();
  std::vector<std::string> ports;
  for (const std::string& port : setup_.options.ports) ports.push_back(ResolvePortArgument(port));  // by-id links too
  return ports;
}

void GangRun::StartPorts() {
  if (completed_) return;
  if (entries_.empty()) return EndScanPhase();
  scanDeadline_.start(setup_.options.scanTimeout);
  if (printer_.Terminal()) redraw_.start(kRedrawInterval);
  for (Entry& entry : entries_) {
    if (!scanPhase_) break;  // interrupted meanwhile
    entry.run->Start();
  }
  DrawRows();
}

GangRun::Entry& GangRun::EntryOf(const PortRun& run) {
  return *std::find_if(entries_.begin(), entries_.end(), [&run](const Entry& e) { return e.run.get() == &run; });
}

void GangRun::OnReady(PortRun&) { CheckScanPhase(); }

// A system port that gave no device within the scan time is left out: no record, no result.
void GangRun::OnFinished(PortRun& run) {
  Entry& entry = EntryOf(run);
  if (systemPorts_ && run.Status() == ExitStatus::kNoDevice && !run.Facts().found) {
    entry.excluded = true;
    // A port that could not even be opened says why: there may be a controller behind it.
    const std::string& why = run.Facts().lastMessage;
    Say(run.Port() + texts::kNotInGang + (why.empty() ? "" : " (" + why + ")"));
  } else {
    Record(run);
  }
  DrawRows();
  CheckScanPhase();
  CheckAllDone();
}

void GangRun::Record(const PortRun& run) {
  std::string error;
  if (setup_.recorder.Record(run.Facts(), run.Status(), file_ ? &*file_ : nullptr, error)) return;
  ownStatus_ = Graver(ownStatus_, ExitStatus::kLogFailed);
  Say(run.Port() + ": " + texts::kLogNotWritten + error);
}

// The scan phase ends when no port is still looking for its device; the presses wait for the
// loop, outside the milestone that brought them.
void GangRun::CheckScanPhase() {
  if (!scanPhase_ || endQueued_) return;
  const bool looking = std::any_of(entries_.begin(), entries_.end(),
                                   [](const Entry& e) { return !e.excluded && e.run->Scanning(); });
  if (looking) return;
  endQueued_ = true;
  QTimer::singleShot(0, this, [this] { EndScanPhase(); });
}

void GangRun::ScanTimedOut() {
  if (!scanPhase_) return;
  for (Entry& entry : entries_) entry.run->EndScan(!systemPorts_);
  EndScanPhase();
}

void GangRun::EndScanPhase() {
  if (!scanPhase_) return;
  scanPhase_ = false;
  scanDeadline_.stop();
  const bool any = std::any_of(entries_.begin(), entries_.end(), [](const Entry& e) { return !e.excluded; });
  if (!any) {
    const std::string message = std::string(texts::kNoDeviceFound) + SecondsText(setup_.options.scanTimeout) + ".";
    Say(message);
    std::vector<PortAttempt> attempts;
    for (const Entry& entry : entries_)
      attempts.insert(attempts.end(), entry.run->OpenAttempts().begin(), entry.run->OpenAttempts().end());
    for (const std::string& line : WhyNoDevice(attempts, systemPorts_)) Say(line);
    std::vector<std::string> tried;
    for (const Entry& entry : entries_)
      tried.insert(tried.end(), entry.run->Facts().portsTried.begin(), entry.run->Facts().portsTried.end());
    if (setup_.recorder.events) setup_.recorder.events->Error("", ResultKey(ExitStatus::kNoDevice), message, &tried);
    ownStatus_ = Graver(ownStatus_, ExitStatus::kNoDevice);
    return Complete();
  }
  for (Entry& entry : entries_) {
    if (!entry.excluded) entry.run->Press();
  }
  CheckAllDone();
}

// Every port is closed in order; a system port still looking for its device was never part of
// the gang.
void GangRun::Interrupt() {
  if (completed_) return;
  const bool scanning = scanPhase_;
  scanPhase_ = false;
  interrupting_ = true;
  for (Entry& entry : entries_) {
    if (systemPorts_ && scanning && entry.run->Scanning()) {
      entry.run->EndScan(false);
    } else {
      entry.run->Interrupt();
    }
  }
  interrupting_ = false;
  ownStatus_ = Graver(ownStatus_, ExitStatus::kInterrupted);
  Complete();
}

void GangRun::CheckAllDone() {
  if (scanPhase_ || interrupting_ || completed_) return;
  const bool running = std::any_of(entries_.begin(), entries_.end(),
                                   [](const Entry& e) { return !e.excluded && !e.run->Done(); });
  if (!running) Complete();
}

void GangRun::Complete() {
  if (completed_) return;
  completed_ = true;
  scanDeadline_.stop();
  redraw_.stop();
  DrawRows();
  printer_.Release();
  PrintSummary();
  SummaryEvent();
  QCoreApplication::exit(Code(Status()));
}

// On a terminal: a row per port that has a device, or is one of the ports given.
void GangRun::DrawRows() {
  if (!printer_.Terminal()) return;
  std::vector<std::string> rows;
  for (const Entry& entry : entries_) {
    if (entry.excluded || (systemPorts_ && !entry.run->Facts().found)) continue;
    rows.push_back(FormatRow(entry.run->Row(), portWidth_));
  }
  printer_.Rows(rows);
}

void GangRun::PrintSummary() {
  std::vector<std::string> lines;
  for (const Entry& entry : entries_) {
    if (!entry.excluded) lines.push_back(FormatSummary(entry.run->Row(), entry.run->Status(), portWidth_));
  }
  if (lines.empty()) return;
  printer_.Line(setup_.human, texts::kSummary);
  for (const std::string& line : lines) printer_.Line(setup_.human, line);
}

void GangRun::Say(const std::string& text) { printer_.Line(std::cerr, text); }

// The worst outcome among the devices that answered: an empty seat beside a failed flash must not
// hide the failure. "No device" only when none answered at all.
ExitStatus GangRun::Status() const {
  ExitStatus status = ownStatus_;
  bool anyAnswered = false;
  for (const Entry& entry : entries_) {
    if (entry.excluded || !entry.run->Facts().found) continue;
    anyAnswered = true;
    status = Graver(status, entry.run->Status());
  }
  const bool anyPort = std::any_of(entries_.begin(), entries_.end(), [](const Entry& e) { return !e.excluded; });
  if (!anyAnswered && anyPort) status = Graver(status, ExitStatus::kNoDevice);
  return status;
}

void GangRun::SummaryEvent() {
  if (!setup_.recorder.events) return;
  std::vector<JsonEvents::PortResult> results;
  for (const Entry& entry : entries_) {
    if (entry.excluded) continue;
    const DeviceFacts& facts = entry.run->Facts();
    results.push_back({entry.run->Port(), ResultKeyOf(facts, entry.run->Status()), entry.run->Status(), facts.sent,
                       facts.total});
  }
  setup_.recorder.events->Summary(results, Status());
}

}  // namespace corvane::cli
