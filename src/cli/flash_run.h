// One run of corvane-flash: the window's scan and update logic (the same Session) over the
// serial link, driven by a Qt event loop until the command has its result.
#pragma once
#include <QObject>
#include <QTimer>
#include <memory>

#include "cli_options.h"
#include "console_view.h"
#include "exit_status.h"
#include "link.h"
#include "mt_random.h"
#include "qt_timer.h"
#include "serial_link.h"
#include "session.h"
#include "silent_sound.h"
#ifndef _WIN32
#include "termination_signals.h"
#endif

namespace corvane::cli {

class FlashRun : public QObject, public FrameSink {
 public:
  FlashRun(const CliOptions& options, ConsoleView& view);
  ~FlashRun() override;

  // Scans, runs the command and returns its exit status. Needs a QCoreApplication; returns with
  // the port closed.
  ExitStatus Run();

  // A checked frame from the link, on this thread.
  void OnFrame(const std::uint8_t* frame, std::size_t length) override;

 private:
  enum class Phase {
    kScanning,      // until a device is reported
    kPressing,      // an update button is being pressed
    kTransferring,  // until the verdict or a dropped link
  };

  // Runs one of the session's event handlers, then has the outcomes looked at once it and the
  // dispatch around it have returned.
  template <class Handler>
  void Handle(Handler handler);
  void QueueDecide();
  void Decide();
  void PressUpdateButton();
  void Finish(ExitStatus status);
  void Interrupt();

  const CliOptions& options_;
  ConsoleView& view_;
  std::unique_ptr<PortLister> ports_;
  SerialLink link_;
  qt::QtTimer timer1_{QStringLiteral("Timer1")};
  qt::QtTimer timer2_{QStringLiteral("Timer2")};
  QTimer scanDeadline_;
  SilentSoundPlayer sound_;
  MersenneRandom random_;
  std::unique_ptr<Session> session_;
#ifndef _WIN32
  qt::TerminationSignals signals_{[this] { Interrupt(); }};
#endif
  Phase phase_ = Phase::kScanning;
  ExitStatus status_ = ExitStatus::kNoDevice;
  bool decideQueued_ = false;
  bool finished_ = false;
};

}  // namespace corvane::cli
