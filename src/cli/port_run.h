// One port of a gang: its own serial link (with its link thread), its own session host (Timer1,
// Timer2, the session with its sequence counter and device state), a console view whose lines
// carry the port's name, and the record of the device. The port is scanned alone; once its
// device is reported the run waits for the gang to press the update button.
#pragma once
#include <QObject>
#include <QTimer>
#include <ostream>
#include <string>
#include <vector>

#include "cli_options.h"
#include "console_view.h"
#include "device_tap.h"
#include "exit_status.h"
#include "run_phase.h"
#include "gang_printer.h"
#include "line_stream.h"
#include "port_list.h"
#include "port_io.h"
#include "serial_link.h"
#include "session_host.h"

namespace corvane::cli {

class PortRun;

class PortRunListener {
 public:
  virtual ~PortRunListener() = default;
  // A device was reported and waits for its update button.
  virtual void OnReady(PortRun& run) = 0;
  // The run has ended and its port is closed; called once.
  virtual void OnFinished(PortRun& run) = 0;
};

struct PortRunSetup {
  const CliOptions& options;
  std::string port;
  GangPrinter& printer;
  std::ostream& out;  // the report, progress and verdict (standard output; standard error with --json)
  UpdateFileSource& files;
  DeviceEvents* events = nullptr;
  PortIdentityLookup lookUp;
  // A system port tried on the chance of a controller: its scan texts are held back until a
  // device is reported, and dropped when none is (thirty silent ports would say little else).
  bool quietUntilFound = false;
  // Serves the port; the ports of a gang share one, so one I/O thread serves them all.
  std::shared_ptr<PortIoService> io;
};

class PortRun : public QObject, private qt::SessionPolicy, private FrameSink {
 public:
  PortRun(const PortRunSetup& setup, PortRunListener& listener);
  ~PortRun() override;

  // Scans the port (needs the event loop running, which dispatches the device's reply).
  void Start();
  // Presses the command's update button on the reported device; identify has nothing to press.
  void Press();
  // The scan time is over and no device was reported: the run ends (said on the port's lines
  // when `announce`).
  void EndScan(bool announce);
  // A termination signal: the port is closed, the run ends as interrupted.
  void Interrupt();

  const std::string& Port() const { return port_; }
  bool Scanning() const { return !done_ && phase_ == Phase::kScanning; }
  bool Ready() const { return !done_ && phase_ == Phase::kReady; }
  bool Done() const { return done_; }
  ExitStatus Status() const { return status_; }
  const DeviceFacts& Facts() const { return tap_.Facts(); }
  // The scan's last open attempt on the port, if it got that far.
  const std::vector<PortAttempt>& OpenAttempts() const { return console_.OpenAttempts(); }
  GangRow Row() const;

 private:
  using Phase = RunPhase;

  void ShowError(const std::string& message) override;
  void OnOutcome(Outcome outcome) override;
  void OnFrame(const std::uint8_t* frame, std::size_t length) override;
  // Once a device was reported, a port that went away ends the run at once (while scanning, the
  // scan goes on to the next port).
  void OnPortVanished(const std::string& cause) override;
  void IdleTimedOut();
  void Finish(ExitStatus status);
  void ErrLine(const std::string& line);
  void ReleaseHeldLines();
  std::string State() const;

  const CliOptions& options_;
  PortRunListener& listener_;
  const std::string port_;
  GangPrinter& printer_;
  bool holding_;
  std::vector<std::string> held_;  // the port's standard error lines while holding
  LineStreamBuf outBuf_;
  LineStreamBuf errBuf_;
  std::ostream out_;
  std::ostream err_;
  ConsoleView console_;
  DeviceTap tap_;
  ChosenPortLister lister_;
  SerialLink link_;
  qt::SessionHost host_;
  QTimer idleDeadline_;  // runs from the press on
  Phase phase_ = Phase::kScanning;
  bool done_ = false;
  ExitStatus status_ = ExitStatus::kNoDevice;
};

// "10 s", "0.5 s": a timeout as the messages give it.
std::string SecondsText(std::chrono::milliseconds duration);

}  // namespace corvane::cli
