// Time on a simulated serial line: when bytes have crossed the wire at a given rate, and a short
// record of what crossed when, on the controller's clock.
#pragma once
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "sim_config.h"

namespace corvane {

using LineClockType = std::chrono::steady_clock;
using LineTime = LineClockType::time_point;

// How long `bytes` take on an 8N1 wire of `baud` bit/s (0: no time).
LineClockType::duration LineDuration(std::size_t bytes, std::uint32_t baud);

// The rate a controller's line keeps: its own, or 115200 for pieces that need a pace.
std::uint32_t EffectiveBaud(const SimConfig& config);

// One piece of a write as an adapter hands it over: the bytes up to `end` (from the write's
// start), reaching the host at `at`.
struct DeliveryPiece {
  std::size_t end = 0;
  LineTime at{};
};

// The pieces of a write of `bytes` whose first byte starts on the wire at `start`, in order.
// Adapter timers (the FTDI latency tick) run on the line clock, so a write meets them at any
// phase.
std::vector<DeliveryPiece> DeliveryPieces(Delivery delivery, std::size_t bytes, LineTime start, std::uint32_t baud);

// "whole", "uart", "ftdi", "ftdi16", "ch340", "cdc".
const char* DeliveryName(Delivery delivery);
std::optional<Delivery> DeliveryNamed(std::string_view name);
inline constexpr Delivery kDeliveries[] = {Delivery::kWhole, Delivery::kUart,  Delivery::kFtdi,
                                           Delivery::kFtdi16, Delivery::kCh340, Delivery::kCdc};

// 8N1: a start bit, eight data bits and a stop bit per byte. The receive and the send direction
// are separate wires; each carries one byte after the other.
class LineClock {
 public:
  static constexpr std::uint32_t kBitsPerByte = 10;

  // `baud` 0: no line time.
  void SetBaud(std::uint32_t baud) { baud_ = baud; }
  std::uint32_t Baud() const { return baud_; }

  // How long `bytes` take on the wire.
  LineClockType::duration Duration(std::size_t bytes) const;

  // `bytes` began to arrive at `start` (or once the bytes before them had): when the last of them
  // is in.
  LineTime Receive(std::size_t bytes, LineTime start);
  // A write of `bytes` that may begin at `ready` (or once the write before it has left): when its
  // last byte has reached the other end.
  LineTime Send(std::size_t bytes, LineTime ready);

 private:
  std::uint32_t baud_ = 0;
  LineTime receiveFree_{};
  LineTime sendFree_{};
};

// What crossed the line when: reads as they were taken from the host, writes just before they
// were handed to it.
struct LineEvent {
  bool incoming = false;
  std::size_t bytes = 0;
  LineTime at{};
};

// The latest kCapacity events, oldest first; a fixed room per controller.
class LineLog {
 public:
  static constexpr std::size_t kCapacity = 32;

  void Add(const LineEvent& event);
  std::vector<LineEvent> Events() const;
  void Clear() { count_ = next_ = 0; }

 private:
  std::array<LineEvent, kCapacity> ring_{};
  std::size_t next_ = 0;
  std::size_t count_ = 0;
};

}  // namespace corvane
