// Ends the program in order on SIGINT, SIGTERM and SIGHUP (Ctrl-C in the terminal, a session
// ending), so that the port is closed and --demo's temporary files are removed.
#pragma once
#include <QObject>
#include <functional>

class QSocketNotifier;

namespace corvane::qt {

class TerminationSignals : public QObject {
  Q_OBJECT

 public:
  // `onSignal` runs on the window thread, from the event loop, once per signal received.
  // One instance at a time; the signals' default handling returns when it is destroyed.
  explicit TerminationSignals(std::function<void()> onSignal, QObject* parent = nullptr);
  ~TerminationSignals() override;

 private:
  std::function<void()> onSignal_;
  QSocketNotifier* notifier_ = nullptr;
};

}  // namespace corvane::qt
