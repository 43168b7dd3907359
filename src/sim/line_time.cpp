#include "line_time.h"

#include <algorithm>

namespace corvane {

namespace {

using namespace std::chrono_literals;

constexpr std::uint32_t kPacedBaud = 115200;

struct Adapter {
  std::size_t packet;                   // bytes handed over as soon as this many are in (0: never)
  LineClockType::duration tick;         // bytes in are handed over at every tick (0: no tick)
  std::size_t tailCharacters;           // otherwise: this many character times after the last byte
};

Adapter AdapterOf(Delivery delivery) {
  switch (delivery) {
    case Delivery::kUart:
      return {8, {}, 4};
    case Delivery::kFtdi:
      return {62, 1ms, 0};
    case Delivery::kFtdi16:
      return {62, 16ms, 0};
    case Delivery::kCh340:
      return {32, {}, 3};
    case Delivery::kCdc:
      return {64, {}, 0};
    case Delivery::kWhole:
      break;
  }
  return {0, {}, 0};
}

// The first tick of period `tick` at or after `t`.
LineTime NextTick(LineTime t, LineClockType::duration tick) {
  const auto since = t.time_since_epoch();
  const auto ticks = (since + tick - LineClockType::duration(1)) / tick;
  return LineTime(ticks * tick);
}

}  // namespace

LineClockType::duration LineDuration(std::size_t bytes, std::uint32_t baud) {
  if (baud == 0) return LineClockType::duration::zero();
  using Nanoseconds = std::chrono::nanoseconds;
  const auto bits = static_cast<std::uint64_t>(bytes) * LineClock::kBitsPerByte;
  // Rounded up: a byte is never in before its last bit.
  const std::uint64_t ns = (bits * 1'000'000'000ULL + baud - 1) / baud;
  return std::chrono::duration_cast<LineClockType::duration>(Nanoseconds(static_cast<Nanoseconds::rep>(ns)));
}

std::uint32_t EffectiveBaud(const SimConfig& config) {
  if (config.lineBaud != 0 || config.delivery == Delivery::kWhole) return config.lineBaud;
  return kPacedBaud;
}

std::vector<DeliveryPiece> DeliveryPieces(Delivery delivery, std::size_t bytes, LineTime start, std::uint32_t baud) {
  const auto in = [&](std::size_t count) { return start + LineDuration(count, baud); };  // the count-th byte is in
  std::vector<DeliveryPiece> pieces;
  const Adapter adapter = AdapterOf(delivery);
  if (adapter.packet == 0 || bytes == 0) {
    pieces.push_back({bytes, in(bytes)});
    return pieces;
  }
  std::size_t sent = 0;
  while (sent < bytes) {
    const std::size_t full = std::min(sent + adapter.packet, bytes);
    const bool packetFull = full - sent == adapter.packet;
    if (adapter.tick > LineClockType::duration::zero()) {
      // The first tick after a waiting byte is in takes all that is in by then, unless the
      // packet has filled before it.
      const LineTime tick = NextTick(in(sent + 1), adapter.tick);
      if (packetFull && in(full) <= tick) {
        pieces.push_back({full, in(full)});
        sent = full;
        continue;
      }
      std::size_t end = sent + 1;
      while (end < full && in(end + 1) <= tick) ++end;
      pieces.push_back({end, tick});
      sent = end;
      continue;
    }
    const LineTime at = packetFull ? in(full) : in(full) + LineDuration(adapter.tailCharacters, baud);
    pieces.push_back({full, at});
    sent = full;
  }
  return pieces;
}

const char* DeliveryName(Delivery delivery) {
  switch (delivery) {
    case Delivery::kWhole:
      return "whole";
    case Delivery::kUart:
      return "uart";
    case Delivery::kFtdi:
      return "ftdi";
    case Delivery::kFtdi16:
      return "ftdi16";
    case Delivery::kCh340:
      return "ch340";
    case Delivery::kCdc:
      return "cdc";
  }
  return "";
}

std::optional<Delivery> DeliveryNamed(std::string_view name) {
  for (const Delivery d : kDeliveries)
    if (name == DeliveryName(d)) return d;
  return std::nullopt;
}

LineClockType::duration LineClock::Duration(std::size_t bytes) const { return LineDuration(bytes, baud_); }

LineTime LineClock::Receive(std::size_t bytes, LineTime start) {
  receiveFree_ = std::max(receiveFree_, start) + Duration(bytes);
  return receiveFree_;
}

LineTime LineClock::Send(std::size_t bytes, LineTime ready) {
  sendFree_ = std::max(sendFree_, ready) + Duration(bytes);
  return sendFree_;
}

void LineLog::Add(const LineEvent& event) {
  ring_[next_] = event;
  next_ = (next_ + 1) % kCapacity;
  count_ = std::min(count_ + 1, kCapacity);
}

std::vector<LineEvent> LineLog::Events() const {
  std::vector<LineEvent> events;
  events.reserve(count_);
  const std::size_t first = (next_ + kCapacity - count_) % kCapacity;
  for (std::size_t i = 0; i < count_; ++i) events.push_back(ring_[(first + i) % kCapacity]);
  return events;
}

}  // namespace corvane
