// corvane-flash --gang: one run per port, all at once, in one process and one event loop. The
// update file is read and checked once, before any port is opened, and every session sends the
// same copy of it. The ports are scanned side by side; once each has its device reported (or the
// scan timeout has passed) every reported device gets its update button pressed, and each
// transfer runs on at its device's pace. A summary ends the run.
#pragma once
#include <QObject>
#include <QTimer>
#include <memory>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "cli_options.h"
#include "exit_status.h"
#include "gang_printer.h"
#include "port_io.h"
#include "log_record.h"
#include "port_run.h"
#include "run_recorder.h"
#include "update_file_source.h"
#ifndef _WIN32
#include "termination_signals.h"
#endif

namespace corvane::cli {

struct GangSetup {
  const CliOptions& options;
  std::ostream& human;         // the ports' reports, progress and verdicts, the rows and the summary
  bool terminal = false;       // `human` is a terminal
  std::size_t columns = 0;     // its width, when known
  RunRecorder recorder;        // --json events and --log
  PortIdentityLookup lookUp;   // for the found event and the log
};

class GangRun : public QObject, private PortRunListener {
 public:
  explicit GangRun(const GangSetup& setup);
  ~GangRun() override;

  // Runs the gang to its end and returns its exit status: the highest status of the devices that
  // answered (0 when every one succeeded), 4 only when none answered. Needs a QCoreApplication.
  ExitStatus Run();

 private:
  struct Entry {
    std::unique_ptr<PortRun> run;
    bool excluded = false;  // a system port on which no controller answered: not part of the gang
  };

  bool CheckFile();
  std::vector<std::string> Ports() const;
  void StartPorts();
  void OnReady(PortRun& run) override;
  void OnFinished(PortRun& run) override;
  Entry& EntryOf(const PortRun& run);
  void Record(const PortRun& run);
  void CheckScanPhase();
  void EndScanPhase();
  void ScanTimedOut();
  void Interrupt();
  void CheckAllDone();
  void Complete();
  void DrawRows();
  void PrintSummary();
  void SummaryEvent();
  void Say(const std::string& text);
  ExitStatus Status() const;

  GangSetup setup_;
  GangPrinter printer_;
  SharedFileSource files_;
  std::optional<FileFacts> file_;
  bool systemPorts_ = false;
  std::size_t portWidth_ = 0;
  const std::shared_ptr<PortIoService> io_ = PortIoService::Create();  // before the runs, which use it
  std::vector<Entry> entries_;
  QTimer scanDeadline_;
  QTimer redraw_;
#ifndef _WIN32
  qt::TerminationSignals signals_{[this] { Interrupt(); }};
#endif
  bool scanPhase_ = true;
  bool endQueued_ = false;
  bool interrupting_ = false;
  bool completed_ = false;
  ExitStatus ownStatus_ = ExitStatus::kSuccess;  // what the gang itself adds (file, no device, log)
};

}  // namespace corvane::cli
