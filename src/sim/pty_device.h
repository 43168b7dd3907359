// The simulated controller on a pseudo-terminal: a host opens SlavePath() as it would a serial
// port. The controller answers on a thread of its own, at once unless a pause is asked for.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

#include "controller.h"

namespace corvane {

class PtyController {
 public:
  using TransferEndHandler = std::function<void(const SimObservations&)>;

  explicit PtyController(const SimConfig& config = {});
  ~PtyController();
  PtyController(const PtyController&) = delete;
  PtyController& operator=(const PtyController&) = delete;

  // Opens the pseudo-terminal and starts answering. On failure returns false and, when `error`
  // is given, says why.
  bool Start(std::string* error = nullptr);
  // Ends the thread and closes the pseudo-terminal; the destructor does it too.
  void Stop();

  // The path a host opens, e.g. "/dev/pts/5"; empty before Start.
  const std::string& SlavePath() const { return slavePath_; }

  SimObservations Observe() const;
  // Waits until `condition` holds for the observations or `timeout` has passed; true if it holds.
  bool WaitFor(const std::function<bool(const SimObservations&)>& condition, std::chrono::milliseconds timeout) const;

  void SetConfig(const SimConfig& config);
  SimConfig Config() const;
  void ClearObservations();

  // Closes the controller's side now, as the vanish fault does. The host sees a hang-up.
  void Vanish();

  // Runs on the controller's thread after each new end frame has been answered. Set before Start.
  void OnTransferEnd(TransferEndHandler handler) { onTransferEnd_ = std::move(handler); }

 private:
  void Run();
  void Handle(const std::uint8_t* data, std::size_t length);
  bool WriteAll(const Bytes& bytes);
  bool Pause(int ms);
  void DrainWake();
  void Wake();
  void CloseLine();
  void CloseAll();

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  SimulatedController controller_;
  TransferEndHandler onTransferEnd_;
  std::string slavePath_;
  int master_ = -1;
  int slaveHold_ = -1;  // keeps the slave side open, so the master sees no hang-up between hosts
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> vanishRequested_{false};
  std::thread thread_;
};

}  // namespace corvane
