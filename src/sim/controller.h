// A simulated controller as pure logic: bytes from the host in, the writes it answers with out.
// No I/O and no threads; the caller moves the bytes and honours the pauses.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "device_frames.h"
#include "frame.h"
#include "mt_random.h"
#include "sim_config.h"
#include "sim_observations.h"

namespace corvane {

// One write on the line, after a pause of `pauseBeforeMs`.
struct SimWrite {
  Bytes bytes;
  std::uint16_t pauseBeforeMs = 0;
};

struct SimResponse {
  std::vector<SimWrite> writes;  // in order, one write() each
  bool vanish = false;           // close the line after the writes
  bool transferEnded = false;    // a new end frame (not a repeat) has been taken in
};

// Input framing: received bytes are collected. When the first 12 form a valid IdentifyRequest
// they are taken as one; otherwise the bytes are taken 64 at a time, each unit being an end frame
// or the next file block. Bytes ahead of a valid IdentifyRequest that do not make a whole unit
// are stale (a host that gave up mid-frame) and are dropped.
class SimulatedController {
 public:
  explicit SimulatedController(const SimConfig& config = {});

  // Keeps what has been observed and the input collected so far; lifts a silence that
  // `silentAfterBlocks` had brought on.
  void SetConfig(const SimConfig& config);
  const SimConfig& Config() const { return config_; }

  SimResponse Receive(const std::uint8_t* data, std::size_t length);

  // Bytes waiting for the rest of their unit. A host writes each frame whole, so bytes left
  // waiting for long are a fragment; the caller drops them after a quiet spell.
  bool HasPartialInput() const { return !input_.empty(); }
  void DropPartialInput();

  const SimObservations& Observations() const { return observations_; }
  void ClearObservations();
  // Recorded by whoever closes the line, once it is closed.
  void MarkVanished() { observations_.vanished = true; }

 private:
  enum class UnitKind : std::uint8_t { kBlock, kEndFrame };

  void TakeIdentifyRequest(const std::uint8_t* request, SimResponse& out);
  void TakeUnit(const Frame& unit, SimResponse& out);
  void TakeEndFrame(const Frame& unit, bool repeat, SimResponse& out);
  void TakeBlock(const Frame& unit, bool repeat, SimResponse& out);
  bool VanishDue(SimResponse& out);
  bool AnswerSuppressed();
  // Sends `frames` (each with the pause before it) as the faults allow.
  void Answer(std::vector<SimWrite> frames, SimResponse& out);
  Bytes Garbage(std::size_t length);
  std::uint16_t NextSequence() { return sequence_++; }

  SimConfig config_;
  SimObservations observations_;
  Bytes input_;
  std::optional<Frame> previousUnit_;
  UnitKind previousKind_ = UnitKind::kBlock;
  bool previousAnswerIntact_ = false;
  bool silenced_ = false;
  bool gone_ = false;
  std::uint16_t sequence_ = 0;
  MersenneRandom random_;
};

}  // namespace corvane
