// The one sender of requests, with the response timer (Timer2) and its retries.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>

#include "disconnector.h"
#include "link.h"
#include "timer.h"
#include "view.h"

namespace corvane {

class RequestSender {
 public:
  static constexpr std::uint32_t MaxRetries = 5;
  using Clock = std::function<std::time_t()>;  // calendar time in whole seconds

  RequestSender(Link& link, Timer& responseTimer, View& view, Disconnector& disconnector,
                Clock clock = [] { return std::time(nullptr); });

  // Keeps a copy (at most 128 bytes), restarts Timer2 with timeoutMs (0: never fires),
  // RetryCount = 0, and has the link write the bytes.
  void SendRequest(const std::uint8_t* data, std::size_t length, std::uint16_t timeoutMs);
  // On each Timer2 expiry: writes the kept copy again (nothing when no port is open), counts it,
  // and past MaxRetries drops the link with the status text.
  void ResendRequest();
  // Builds an IdentifyRequest from RequestSequence and four clock-seeded random bytes; timeout 200.
  void SendIdentifyRequest();

  std::uint32_t RetryCount() const { return retryCount_; }
  std::uint8_t RequestSequence() const { return requestSequence_; }

 private:
  Link& link_;
  Timer& responseTimer_;
  View& view_;
  Disconnector& disconnector_;
  Clock clock_;
  std::array<std::uint8_t, 128> savedRequest_{};
  std::uint32_t savedLength_ = 0;
  std::uint32_t retryCount_ = 0;
  std::uint8_t requestSequence_ = 0;
  std::optional<std::time_t> lastSeed_;  // the clock value the random bytes below were drawn for
  std::array<std::uint8_t, 4> lastRandom_{};
};

}  // namespace corvane
