#include "controller.h"

#include <algorithm>

#include "bytes.h"
#include "crc32.h"

namespace corvane {
namespace {

// DA 00 and the big-endian CRC of bytes 0..7 at 8..11.
bool IsIdentifyRequest(const std::uint8_t* p) {
  return p[0] == 0xDA && p[1] == 0x00 && Stm32Crc32(p, 8) == ReadBe32(p + 8);
}

// Offset of the first valid IdentifyRequest after the start of `p`, within a unit's reach, or 0.
std::size_t StaleFragmentLength(const std::uint8_t* p, std::size_t available) {
  const std::size_t last = std::min(available - kIdentifyRequestSize, kFrameSize - 1);
  for (std::size_t j = 1; j <= last; ++j)
    if (IsIdentifyRequest(p + j)) return j;
  return 0;
}

bool IsEndFrameType(std::uint16_t type) { return type == kFirmwareEnd || type == kDataMapEnd; }

// Whether the host's receive check takes `write` as a frame.
bool PassesReceiveCheck(const Bytes& write) {
  const auto length = static_cast<std::uint16_t>(std::min<std::size_t>(write.size(), 0xFFFF));
  return CheckFrame(write.data(), length);
}

}  // namespace

SimulatedController::SimulatedController(const SimConfig& config)
    : config_(config), random_(config.randomSeed ? MersenneRandom(*config.randomSeed) : MersenneRandom()) {}

void SimulatedController::SetConfig(const SimConfig& config) {
  if (config.randomSeed && config.randomSeed != config_.randomSeed) random_ = MersenneRandom(*config.randomSeed);
  config_ = config;
  silenced_ = false;
}

void SimulatedController::ClearObservations() {
  const bool vanished = observations_.vanished;
  observations_ = SimObservations{};
  observations_.vanished = vanished;
  previousUnit_.reset();
  previousAnswerIntact_ = false;
}

void SimulatedController::DropPartialInput() {
  // A lone 12-byte unit that starts like an identify request is one with a wrong CRC: valid ones
  // are taken at once.
  if (input_.size() == kIdentifyRequestSize && input_[0] == 0xDA && input_[1] == 0x00) ++observations_.badCrcFrames;
  observations_.droppedBytes += input_.size();
  input_.clear();
}

SimResponse SimulatedController::Receive(const std::uint8_t* data, std::size_t length) {
  SimResponse out;
  if (gone_) return out;
  input_.insert(input_.end(), data, data + length);
  if (VanishDue(out)) return out;

  std::size_t pos = 0;
  while (!gone_ && input_.size() - pos >= kIdentifyRequestSize) {
    const std::uint8_t* head = input_.data() + pos;
    const std::size_t available = input_.size() - pos;
    if (IsIdentifyRequest(head)) {
      TakeIdentifyRequest(head, out);
      pos += kIdentifyRequestSize;
      continue;
    }
    if (const std::size_t stale = StaleFragmentLength(head, available)) {
      observations_.droppedBytes += stale;
      pos += stale;
      continue;
    }
    if (available < kFrameSize) break;
    Frame unit;
    std::copy_n(head, kFrameSize, unit.begin());
    pos += kFrameSize;
    TakeUnit(unit, out);
  }
  if (gone_) {
    input_.clear();
  } else {
    input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(pos));
  }
  return out;
}

void SimulatedController::TakeIdentifyRequest(const std::uint8_t* request, SimResponse& out) {
  IdentifyRequestFrame copy;
  std::copy_n(request, copy.size(), copy.begin());
  observations_.identifyRequests.push_back(copy);
  // A new identification starts a new transfer record.
  observations_.blocks.clear();
  observations_.resends = 0;
  observations_.endFrames = 0;
  observations_.endFrame.reset();
  previousUnit_.reset();
  previousAnswerIntact_ = false;

  if (VanishDue(out)) return;
  if (observations_.identifyRequests.size() <= config_.faults.ignoredIdentifies) return;
  const Frame reply = BuildIdentifyReply(config_, config_.faults.badRecordCrc, random_);
  Answer({SimWrite{Bytes(reply.begin(), reply.end()), 0}}, out);
}

void SimulatedController::TakeUnit(const Frame& unit, SimResponse& out) {
  const bool same = previousUnit_ && *previousUnit_ == unit;
  const bool repeat = same && (config_.resendRule == ResendRule::kAlways || !previousAnswerIntact_);
  UnitKind kind;
  if (repeat) {
    kind = previousKind_;
  } else if (config_.expectedBlocks) {
    kind = observations_.blocks.size() >= *config_.expectedBlocks ? UnitKind::kEndFrame : UnitKind::kBlock;
  } else {
    kind = IsEndFrameType(FrameTypeCode(unit.data())) && CheckFrame(unit.data(), kFrameSize) ? UnitKind::kEndFrame
                                                                                             : UnitKind::kBlock;
  }
  previousUnit_ = unit;
  previousKind_ = kind;
  previousAnswerIntact_ = false;
  if (repeat) ++observations_.resends;
  if (kind == UnitKind::kEndFrame) {
    TakeEndFrame(unit, repeat, out);
  } else {
    TakeBlock(unit, repeat, out);
  }
}

void SimulatedController::TakeEndFrame(const Frame& unit, bool repeat, SimResponse& out) {
  EndFrameRecord record;
  record.type = FrameTypeCode(unit.data());
  record.crcOk = CheckFrame(unit.data(), kFrameSize);
  record.closingValue = ClosingValueOf(unit.data());
  ++observations_.endFrames;
  observations_.endFrame = record;
  if (!record.crcOk) {
    if (!repeat) ++observations_.badCrcFrames;
    return;
  }
  // Only the two end frames have a result frame; anything else at the end is left unanswered.
  if (!IsEndFrameType(record.type)) return;
  if (VanishDue(out)) return;
  if (!repeat) out.transferEnded = true;
  const auto resultType = static_cast<std::uint16_t>(record.type + 1);
  Answer({SimWrite{BuildResult(resultType, config_.verdict, config_.replyLength, NextSequence()), 0}}, out);
}

void SimulatedController::TakeBlock(const Frame& unit, bool repeat, SimResponse& out) {
  if (!repeat) {
    observations_.blocks.push_back(unit);
    // File data may begin like an end frame; with a wrong CRC it is kept as a block but noted.
    if (!config_.expectedBlocks && IsEndFrameType(FrameTypeCode(unit.data())) && !CheckFrame(unit.data(), kFrameSize))
      ++observations_.badCrcFrames;
  }
  if (VanishDue(out)) return;
  const std::size_t index = observations_.blocks.size() - 1;
  std::vector<SimWrite> frames;
  std::uint16_t hold = 0;
  if (config_.timeoutUpdate && config_.timeoutUpdate->afterBlock == index) {
    frames.push_back({BuildTimeoutUpdate(config_.timeoutUpdate->intervalMs, config_.replyLength, NextSequence()), 0});
    hold = config_.timeoutUpdate->holdMs;
  }
  frames.push_back({BuildBlockRequest(config_.blockIntervalMs, config_.replyLength, NextSequence()), hold});
  Answer(std::move(frames), out);
}

bool SimulatedController::VanishDue(SimResponse& out) {
  const auto& after = config_.faults.vanishAfterBlocks;
  if (!after || observations_.blocks.size() < *after) return false;
  gone_ = true;
  out.vanish = true;
  return true;
}

bool SimulatedController::AnswerSuppressed() {
  const auto& after = config_.faults.silentAfterBlocks;
  if (after && observations_.blocks.size() >= *after) silenced_ = true;
  return config_.faults.silent || silenced_;
}

Bytes SimulatedController::Garbage(std::size_t length) {
  Bytes bytes(length);
  for (auto& b : bytes) b = random_.NextByte();
  if (PassesReceiveCheck(bytes)) bytes.back() ^= 0x01;
  return bytes;
}

void SimulatedController::Answer(std::vector<SimWrite> frames, SimResponse& out) {
  if (AnswerSuppressed()) return;
  const SimFaults& faults = config_.faults;
  for (auto& frame : frames) {
    if (faults.garbage) {
      frame.bytes = Garbage(frame.bytes.size());
    } else if (faults.badFrameCrc) {
      frame.bytes.back() ^= 0xFF;
    }
  }
  std::vector<SimWrite> writes;
  if (faults.doubleFrame) {
    SimWrite joined;
    for (const auto& frame : frames) {
      joined.bytes.insert(joined.bytes.end(), frame.bytes.begin(), frame.bytes.end());
      joined.pauseBeforeMs = std::max(joined.pauseBeforeMs, frame.pauseBeforeMs);
    }
    if (frames.size() == 1) joined.bytes.insert(joined.bytes.end(), frames[0].bytes.begin(), frames[0].bytes.end());
    writes.push_back(std::move(joined));
  } else {
    writes = std::move(frames);
  }
  if (faults.splitReply) {
    std::vector<SimWrite> halves;
    for (auto& write : writes) {
      const auto middle = write.bytes.begin() + static_cast<std::ptrdiff_t>(write.bytes.size() / 2);
      halves.push_back({Bytes(write.bytes.begin(), middle), write.pauseBeforeMs});
      halves.push_back({Bytes(middle, write.bytes.end()), faults.splitPauseMs});
    }
    writes = std::move(halves);
  }
  // The host takes each chunk it reads as one frame; a split answer never passes as a whole.
  previousAnswerIntact_ = !faults.splitReply && PassesReceiveCheck(writes.back().bytes);
  for (auto& write : writes) out.writes.push_back(std::move(write));
}

}  // namespace corvane
