// The pseudo-random bytes of end frames and packed files: one Mersenne Twister, seeded once.
#pragma once
#include <cstdint>
#include <random>

#include "scrambler.h"

namespace corvane {

class MersenneRandom final : public RandomSource {
 public:
  // Seeded from the system's entropy source.
  MersenneRandom() : engine_(std::random_device{}()) {}
  // A fixed seed gives a repeatable sequence (tests, reproducible files).
  explicit MersenneRandom(std::uint32_t seed) : engine_(seed) {}

  std::uint8_t NextByte() override { return static_cast<std::uint8_t>(engine_() & 0xFFu); }

 private:
  std::mt19937 engine_;
};

}  // namespace corvane
