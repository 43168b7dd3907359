// Shared by the fuzz targets: the input in a heap block of exactly its size, so that the address
// sanitizer reports any read past its end, and a way to make scrambled records pass their CRC.
#pragma once
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "scrambler.h"

namespace corvane::fuzz {

struct ExactBuffer {
  std::unique_ptr<std::uint8_t[]> bytes;
  std::size_t size = 0;

  ExactBuffer(const std::uint8_t* data, std::size_t n) : bytes(new std::uint8_t[n]), size(n) {
    if (n != 0) std::memcpy(bytes.get(), data, n);
  }
  std::uint8_t* get() const { return bytes.get(); }
};

// Rescrambles the 64-byte block so that its record (whatever it unscrambles to) carries a correct
// CRC: lets the fuzzer reach the code behind the record check.
inline void RepairRecord(std::uint8_t* block) {
  std::uint8_t work[64] = {};
  UnscramblePayload(block, work);
  ScrambleRecord(block, work + kScrambledOffset);
}

// Stops the run: an invariant of the code under test does not hold (libFuzzer keeps the input).
[[noreturn]] inline void Violated() {
  std::fputs("fuzz: an invariant of the code under test does not hold\n", stderr);
  std::abort();
}

}  // namespace corvane::fuzz
