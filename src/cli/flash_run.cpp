#include "flash_run.h"

#include <QCoreApplication>
#include <cstdio>

#include "console_texts.h"
#include "port_list.h"
#include "texts.h"

namespace corvane::cli {

FlashRun::FlashRun(const CliOptions& options, ConsoleView& view) : options_(options), view_(view) {
  if (options.ports.empty()) {
    ports_ = std::make_unique<SystemPortLister>(nullptr);  // quiet: standard output is the report's
  } else {
    ports_ = std::make_unique<ChosenPortLister>(options.ports);
  }
  session_ = std::make_unique<Session>(SessionPorts{view_, link_, *ports_, timer1_, timer2_, sound_, random_});

  connect(&timer1_.Qt(), &QTimer::timeout, this, [this] { Handle([this] { session_->ScanTimerFired(); }); });
  connect(&timer2_.Qt(), &QTimer::timeout, this, [this] { Handle([this] { session_->ResponseTimerFired(); }); });
  scanDeadline_.setSingleShot(true);
  scanDeadline_.setTimerType(Qt::PreciseTimer);  // a coarse timer may end the scan up to 5 % early
  connect(&scanDeadline_, &QTimer::timeout, this, [this] {
    if (finished_ || phase_ != Phase::kScanning) return;
    char seconds[32];
    std::snprintf(seconds, sizeof seconds, "%g s.", static_cast<double>(options_.scanTimeout.count()) / 1000.0);
    view_.Message(std::string(texts::kNoDeviceFound) + seconds);
    Finish(ExitStatus::kNoDevice);
  });
}

FlashRun::~FlashRun() {
  link_.SetFrameSink(nullptr);
  link_.ClosePort();
}

ExitStatus FlashRun::Run() {
  link_.SetFrameSink(this);
  session_->FormCreate();
  // CONNECT once the loop runs, so that the reply to the first request is dispatched by it.
  QTimer::singleShot(0, this, [this] {
    if (finished_) return;
    scanDeadline_.start(options_.scanTimeout);
    Handle([this] { session_->Connect(); });
  });
  QCoreApplication::exec();
  Finish(status_);  // the loop may also have been ended from outside
  return status_;
}

void FlashRun::OnFrame(const std::uint8_t* frame, std::size_t length) {
  Handle([this, frame, length] { session_->OnFrame(frame, length); });
}

template <class Handler>
void FlashRun::Handle(Handler handler) {
  if (finished_) return;
  handler();
  QueueDecide();
}

// Decided from the event loop, never inside a handler: a frame's dispatch holds the link thread,
// and pressing a button there would send the first block from within it.
void FlashRun::QueueDecide() {
  if (decideQueued_) return;
  decideQueued_ = true;
  QMetaObject::invokeMethod(
      this, [this] { Decide(); }, Qt::QueuedConnection);
}

void FlashRun::Decide() {
  decideQueued_ = false;
  for (auto outcomes = view_.TakeOutcomes(); !outcomes.empty() && !finished_; outcomes = view_.TakeOutcomes()) {
    for (const Outcome outcome : outcomes) {
      if (finished_) return;
      switch (outcome) {
        case Outcome::kDeviceReported:
          if (phase_ != Phase::kScanning) break;
          scanDeadline_.stop();
          if (options_.command == Command::kIdentify) {
            Finish(ExitStatus::kSuccess);
          } else {
            PressUpdateButton();  // its outcomes come in the next round
          }
          break;
        case Outcome::kDeviceUnsupported:
          Finish(ExitStatus::kUnsupported);
          break;
        case Outcome::kFileRefused:
          if (phase_ == Phase::kPressing) Finish(ExitStatus::kFileRefused);
          break;
        case Outcome::kTransferStarted:
          if (phase_ == Phase::kPressing) phase_ = Phase::kTransferring;
          break;
        case Outcome::kUpdateSucceeded:
          if (phase_ == Phase::kTransferring) Finish(ExitStatus::kSuccess);
          break;
        case Outcome::kUpdateFailed:
          if (phase_ == Phase::kTransferring) Finish(ExitStatus::kUpdateFailed);
          break;
        case Outcome::kLinkDropped:
          // Before a report the scan has ended without a device.
          Finish(phase_ == Phase::kScanning ? ExitStatus::kNoDevice : ExitStatus::kLinkDropped);
          break;
      }
    }
  }
  // A press that neither started a transfer nor refused the file (an error box from the handler)
  // has still not sent it.
  if (!finished_ && phase_ == Phase::kPressing) Finish(ExitStatus::kFileRefused);
}

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
  if (firmware) {
    session_->UpdateFirmware();
  } else {
    session_->WriteDataMap();
  }
}

// A termination signal ends the run in order: the port is closed and the script learns why.
void FlashRun::Interrupt() {
  if (finished_) return;
  view_.Message(phase_ == Phase::kTransferring ? texts::kInterruptedTransfer : texts::kInterrupted);
  Finish(ExitStatus::kInterrupted);
}

// Closes the port at once, so that nothing more is sent or dispatched, then ends the loop.
void FlashRun::Finish(ExitStatus status) {
  if (!finished_) {
    finished_ = true;
    status_ = status;
  }
  scanDeadline_.stop();
  link_.SetFrameSink(nullptr);
  session_->FormClose();
  timer1_.Stop();
  timer2_.Stop();
  QCoreApplication::exit(Code(status_));
}

}  // namespace corvane::cli
