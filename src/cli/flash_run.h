// One run of corvane-flash: the window's scan and update logic (the same Session, in a session
// host) over the serial link, driven by a Qt event loop until the command has its result. The
// run's phases and its exit status follow from the milestones the host delivers.
#pragma once
#include <QObject>
#include <QTimer>
#include <memory>
#include <string>

#include "cli_options.h"
#include "console_view.h"
#include "exit_status.h"
#include "run_phase.h"
#include "link.h"
#include "serial_link.h"
#include "session_host.h"
#ifndef _WIN32
#include "termination_signals.h"
#endif

namespace corvane::cli {

// What a run may be given besides its console: a view between the session and the console (one
// that keeps a record of the device), and where the update file is read.
struct FlashRunExtras {
  View* sessionView = nullptr;  // passes everything on to the console; none: the console itself
  UpdateFileSource* files = nullptr;  // none: from disk
};

class FlashRun : public QObject, private qt::SessionPolicy, private FrameSink {
 public:
  FlashRun(const CliOptions& options, ConsoleView& view, const FlashRunExtras& extras = {});
  ~FlashRun() override;

  // Scans, runs the command and returns its exit status. Needs a QCoreApplication; returns with
  // the port closed.
  ExitStatus Run();

 private:
  using Phase = RunPhase;

  void ShowError(const std::string& message) override;
  void OnOutcome(Outcome outcome) override;
  void OnDeviceReported();
  void PressUpdateButton();
  void ScanTimedOut();
  void IdleTimedOut();
  // Frames pass through on their way to the host: each one restarts the idle timer.
  void OnFrame(const std::uint8_t* frame, std::size_t length) override;
  // Once a device was reported, a port that went away ends the run at once (while scanning, the
  // scan goes on to the next port).
  void OnPortVanished(const std::string& cause) override;
  void Finish(ExitStatus status);
  void Interrupt();

  const CliOptions& options_;
  ConsoleView& view_;
  std::unique_ptr<PortLister> ports_;
  SerialLink link_;
  qt::SessionHost host_;
  QTimer scanDeadline_;
  QTimer idleDeadline_;  // runs from the report on
#ifndef _WIN32
  qt::TerminationSignals signals_{[this] { Interrupt(); }};
#endif
  Phase phase_ = Phase::kScanning;
  ExitStatus status_ = ExitStatus::kNoDevice;
};

}  // namespace corvane::cli
