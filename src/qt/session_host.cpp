#include "session_host.h"

#include <QTimer>
#include <cstdio>
#include <exception>

namespace corvane::qt {

SessionHost::SessionHost(const HostParts& parts, SessionPolicy& policy)
    : policy_(policy), view_(parts.view, [this](Outcome outcome) { Reported(outcome); }) {
  session_ = std::make_unique<Session>(SessionPorts{view_, parts.link, parts.ports, timer1_, timer2_,
                                                    parts.sound ? *parts.sound : silence_,
                                                    parts.random ? *parts.random : random_, parts.files});
  connect(&timer1_.Qt(), &QTimer::timeout, this, [this] {
    if (!finished_) Handle([](Session& s) { s.ScanTimerFired(); });
  });
  connect(&timer2_.Qt(), &QTimer::timeout, this, [this] {
    if (finished_) return;
    Handle([](Session& s) { s.ResponseTimerFired(); });
    qCDebug(FrameTrace) << "Timer2 expired: request resent, retry" << session_->Sender().RetryCount();
  });
}

SessionHost::~SessionHost() { Finish(); }

void SessionHost::Handle(const std::function<void(Session&)>& handler) {
  Guard([this, &handler] { handler(*session_); });
}

void SessionHost::OnFrame(const std::uint8_t* frame, std::size_t length) {
  // A frame handed over before the finish would restart Timer2 and the transfer.
  if (finished_) return;
  Handle([frame, length](Session& s) { s.OnFrame(frame, length); });
}

void SessionHost::Finish() {
  if (finished_) return;
  finished_ = true;
  pending_.clear();
  Handle([](Session& s) { s.FormClose(); });
  timer1_.Stop();
  timer2_.Stop();
}

void SessionHost::Reported(Outcome outcome) {
  if (finished_) return;
  pending_.push_back(outcome);
  if (deliveryQueued_) return;
  deliveryQueued_ = true;
  QMetaObject::invokeMethod(
      this, [this] { Deliver(); }, Qt::QueuedConnection);
}

// Milestones reported while the policy acts on one (a button it pressed) come in the same round.
void SessionHost::Deliver() {
  while (!pending_.empty() && !finished_) {
    const Outcome outcome = pending_.front();
    pending_.pop_front();
    Guard([this, outcome] { policy_.OnOutcome(outcome); });
  }
  deliveryQueued_ = false;
}

// The one guard: nothing escapes into the event loop or the link's dispatch.
void SessionHost::Guard(const std::function<void()>& handler) noexcept {
  try {
    handler();
  } catch (const std::exception& e) {
    ShowError(e.what());
  } catch (...) {
    ShowError("");
  }
}

void SessionHost::ShowError(const char* message) noexcept {
  try {
    policy_.ShowError(message);
  } catch (...) {
    // The box itself failed: the message still goes somewhere a technician can read it.
    std::fprintf(stderr, "%s\n", message);
  }
}

}  // namespace corvane::qt
