// Runs one Session in a Qt event loop, for the window, corvane-flash and the benchmark alike:
// Timer1 and Timer2, the session's dependencies, the frames from the link, one exception guard
// and a finish latch. What a program makes of the session (buttons, exit statuses, timings) is
// its SessionPolicy.
//
// Milestones (Outcome) reach the policy from the event loop, never inside the handler that
// reported them: a frame's dispatch holds the link thread, and a button pressed from within it
// would send the first block from inside that dispatch.
#pragma once
#include <QObject>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "link.h"
#include "mt_random.h"
#include "outcome_tap.h"
#include "qt_timer.h"
#include "session.h"
#include "silent_sound.h"

namespace corvane::qt {

class SessionPolicy {
 public:
  virtual ~SessionPolicy() = default;
  // The one error box: an exception escaped an event handler (`message` is its what(), empty
  // for anything that is no std::exception). The program goes on.
  virtual void ShowError(const std::string& message) = 0;
  // A milestone, once the handler that reported it has returned; in order, none after Finish.
  virtual void OnOutcome(Outcome) {}
};

struct HostParts {
  View& view;
  Link& link;
  PortLister& ports;
  SoundPlayer* sound = nullptr;    // none: silent
  RandomSource* random = nullptr;  // end-frame random bytes; none: the host's own Mersenne Twister
  UpdateFileSource* files = nullptr;  // update files; none: read from disk on every press
};

class SessionHost : public QObject, public FrameSink {
 public:
  // Builds the Session on its own Timer1 and Timer2 and runs their handlers on each timeout.
  // Point the link's frames at the host (or at something that passes them on to OnFrame).
  SessionHost(const HostParts& parts, SessionPolicy& policy);
  // Finishes. The policy must still be alive; detach the link from the host before this.
  ~SessionHost() override;

  Session& session() { return *session_; }
  QtTimer& scanTimer() { return timer1_; }
  QtTimer& responseTimer() { return timer2_; }

  // Runs one of the session's event handlers under the guard: an exception that escapes it goes
  // to the policy's error box, and the state stays as it was at the point of failure. Runs after
  // Finish too (the window's Timer3 still plays a pending sound): what to run is the policy's.
  void Handle(const std::function<void(Session&)>& handler);
  // A checked frame from the link, on this thread; dropped once finished.
  void OnFrame(const std::uint8_t* frame, std::size_t length) override;

  // Whether milestones have been reported that the policy has not had yet.
  bool OutcomesPending() const { return !pending_.empty(); }

  // The latch, once: from now on no frame and no Timer1/Timer2 timeout reaches the session, and
  // no milestone the policy. The port is closed and Timer2 stopped (FormClose), then Timer1.
  void Finish();
  bool Finished() const { return finished_; }

 private:
  void Reported(Outcome outcome);
  void Deliver();
  void Guard(const std::function<void()>& handler) noexcept;
  void ShowError(const char* message) noexcept;

  SessionPolicy& policy_;
  OutcomeTap view_;
  QtTimer timer1_{QStringLiteral("Timer1")};
  QtTimer timer2_{QStringLiteral("Timer2")};
  SilentSoundPlayer silence_;
  MersenneRandom random_;
  std::unique_ptr<Session> session_;
  std::deque<Outcome> pending_;
  bool deliveryQueued_ = false;
  bool finished_ = false;
};

}  // namespace corvane::qt
