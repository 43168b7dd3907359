#include "sender.h"

#include <cstring>
#include <random>
#include <stdexcept>

#include "frame.h"
#include "texts.h"

namespace corvane {

RequestSender::RequestSender(Link& link, Timer& responseTimer, View& view, Disconnector& disconnector, Clock clock)
    : link_(link), responseTimer_(responseTimer), view_(view), disconnector_(disconnector), clock_(std::move(clock)) {}

void RequestSender::SendRequest(const std::uint8_t* data, std::size_t length, std::uint16_t timeoutMs) {
  // Refuse rather than keep a cut-off copy that would later be resent as a corrupt frame.
  if (length > savedRequest_.size()) throw std::length_error("request longer than 128 bytes");
  responseTimer_.Start(timeoutMs);  // a fresh countdown; 0 leaves the timer stopped
  retryCount_ = 0;
  std::memcpy(savedRequest_.data(), data, length);
  savedLength_ = static_cast<std::uint32_t>(length);
  link_.Send(savedRequest_.data(), savedLength_);
}

void RequestSender::ResendRequest() {
  ++retryCount_;
  // With no port open (the scan closed a silent one) the expiry still counts, nothing is written.
  if (link_.IsOpen()) link_.Send(savedRequest_.data(), savedLength_ & 0xFFFF);
  if (retryCount_ <= MaxRetries) return;
  disconnector_.ResetToDisconnected();
  responseTimer_.Stop();
  view_.SetStatus(texts::kLinkDropped);
  link_.ClosePort();
  view_.ReportOutcome(Outcome::kLinkDropped);
}

void RequestSender::SendIdentifyRequest() {
  const std::uint8_t sequence = requestSequence_++;
  // Reseeded from the clock for every request: two requests in one second share these bytes, so
  // the last second's draw is kept rather than made again (seeding the engine is costly).
  const std::time_t now = clock_();
  if (!lastSeed_ || *lastSeed_ != now) {
    std::mt19937 generator(static_cast<std::mt19937::result_type>(now));
    for (auto& byte : lastRandom_) byte = static_cast<std::uint8_t>(generator() & 0xFF);
    lastSeed_ = now;
  }
  const IdentifyRequestFrame request = BuildIdentifyRequest(sequence, lastRandom_);
  SendRequest(request.data(), request.size(), 200);
}

}  // namespace corvane
