// The simulated controller on a pseudo-terminal: a host opens SlavePath() as it would a serial
// port. The controller answers on a thread of its own: at once, or, with a line rate set, once
// the bytes would have crossed the wire; with a delivery profile, in the pieces and at the times
// an adapter would hand them to the host's driver, one write each. It holds only the master side, so no process but the
// host holds the port open; between hosts it waits for the next open.
#pragma once
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "controller.h"
#include "host_watch.h"
#include "line_time.h"

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
  // The latest reads and writes on the line with their times, oldest first.
  std::vector<LineEvent> LineEvents() const;

  void SetConfig(const SimConfig& config);
  SimConfig Config() const;
  // Clears the observations and the line events.
  void ClearObservations();

  // Closes the controller's side now, as the vanish fault does. The host sees a hang-up.
  void Vanish();

  // Runs on the controller's thread once the answer to each new end frame has gone out. Set
  // before Start.
  void OnTransferEnd(TransferEndHandler handler) { onTransferEnd_ = std::move(handler); }

 private:
  // A write waiting for its time, and what follows it.
  struct Outgoing {
    LineTime due;  // when its last byte reaches the host
    Bytes bytes;   // empty for a mark alone
    bool vanish = false;
    bool transferEnded = false;
  };

  void Run();
  void TakeFromLine(short revents, std::uint8_t* buffer, std::size_t size);
  void Handle(const std::uint8_t* data, std::size_t length, LineTime readAt);
  void Queue(SimResponse response, LineTime arrived);
  void SendDue(LineTime now);
  std::optional<LineTime> DropQuietFragment(LineTime now);
  std::optional<LineTime> NextDeadline(std::optional<LineTime> fragmentDue) const;
  void HostLeft();
  bool WriteAll(const Bytes& bytes);
  void DrainWake();
  void Wake();
  void CloseLine();
  void CloseAll();

  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  SimulatedController controller_;  // with lineLog_, guarded by mutex_
  LineLog lineLog_;
  TransferEndHandler onTransferEnd_;
  std::string slavePath_;
  int master_ = -1;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  std::atomic<bool> stopRequested_{false};
  std::atomic<bool> vanishRequested_{false};
  std::thread thread_;

  // The controller's thread alone uses these.
  LineClock line_;
  Delivery delivery_ = Delivery::kWhole;
  std::deque<Outgoing> pending_;  // in the order of `due`
  LineTime lastArrival_{};        // when the latest bytes taken in were all in
  LineClockType::duration lateness_{};  // how late the latest write was handed over
  HostWatch hostWatch_;
  bool hostAbsent_ = false;  // no host holds the slave side: writes are lost, reads wait for an open
  LineTime absentSince_{};
};

}  // namespace corvane
