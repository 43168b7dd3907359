// The frame joiner: a stream of valid frames cut anywhere into reads yields each frame exactly
// once, in order. The input describes the frames (length and content; CRC and first byte are
// set here) and the cuts; reads come within the gap.
#include <chrono>
#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <vector>

#include "bytes.h"
#include "crc32.h"
#include "frame_joiner.h"
#include "fuzz_input.h"

using namespace corvane;

namespace {

struct StepClock : JoinClock {
  std::chrono::steady_clock::time_point now{};
  std::chrono::steady_clock::time_point Now() const override { return now; }
};

struct Input {
  const std::uint8_t* data;
  std::size_t size;
  std::size_t at = 0;
  bool Empty() const { return at >= size; }
  std::uint8_t Next() { return at < size ? data[at++] : 0; }
};

// A frame of 16..64 bytes from the input, or nothing when one of its prefixes would pass too.
// Lengths are multiples of 4: the CRC's last word reaches into the CRC field otherwise.
bool NextFrame(Input& in, std::vector<std::uint8_t>& frame) {
  const std::size_t length = kMinFrameSize + 4 * (in.Next() % ((kFrameSize - kMinFrameSize) / 4 + 1));
  frame.assign(length, 0);
  frame[0] = 0xDA;
  for (std::size_t i = 1; i < length - 4; ++i) frame[i] = in.Next();
  WriteBe32(frame.data() + length - 4, Stm32Crc32(frame.data(), static_cast<std::uint32_t>(length - 4)));
  for (std::size_t l = kMinFrameSize; l < length; ++l)
    if (CheckFrame(frame.data(), static_cast<std::uint16_t>(l))) return false;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  // First byte: how many cuts follow; then the cuts (read lengths); then the frames.
  Input in{data, size};
  const std::size_t cutCount = in.Next() % 32;
  std::vector<std::size_t> reads;
  for (std::size_t i = 0; i < cutCount && !in.Empty(); ++i) reads.push_back(1 + in.Next() % 96);

  std::vector<std::vector<std::uint8_t>> frames;
  std::vector<std::uint8_t> stream, frame;
  while (!in.Empty() && frames.size() < 64) {
    if (!NextFrame(in, frame)) continue;
    frames.push_back(frame);
    stream.insert(stream.end(), frame.begin(), frame.end());
  }

  // The receive check cannot tell a frame from a read that passes it by a coincidence of the CRC
  // (the STM32 CRC of FF FF FF FF followed by zeros is 0): such cuts are no test of the joiner.
  std::vector<std::size_t> starts;
  for (std::size_t at = 0, i = 0; i < frames.size(); at += frames[i++].size()) starts.push_back(at);
  for (std::size_t begin = 0, next = 0; begin < stream.size();) {
    const std::size_t n = std::min(next < reads.size() ? reads[next++] : stream.size(), stream.size() - begin);
    if (CheckFrame(stream.data() + begin, static_cast<std::uint16_t>(std::min(n, kFrameSize)))) {
      const auto frame = std::find(starts.begin(), starts.end(), begin);
      if (frame == starts.end()) return 0;
      const std::size_t length = frames[static_cast<std::size_t>(frame - starts.begin())].size();
      if (n != length && !(length == kFrameSize && n > kFrameSize)) return 0;
    }
    begin += n;
  }

  StepClock clock;
  FrameJoiner joiner(clock);
  std::size_t found = 0;
  auto check = [&](const std::uint8_t* p, std::size_t n) {
    if (found >= frames.size()) fuzz::Violated();
    const auto& expected = frames[found++];
    // A read that is a frame by itself is handed on whole: the frame is its first 64 bytes.
    if (n > kFrameSize) n = kFrameSize;
    if (n != expected.size() || !std::equal(expected.begin(), expected.end(), p)) fuzz::Violated();
  };
  std::size_t begin = 0, next = 0;
  while (begin < stream.size()) {
    const std::size_t length = next < reads.size() ? reads[next++] : stream.size() - begin;
    const std::size_t n = std::min(length, stream.size() - begin);
    fuzz::ExactBuffer read(stream.data() + begin, n);
    clock.now += FrameJoiner::kGap;  // as far apart as pieces may be
    joiner.Take(read.get(), n, check);
    if (joiner.Held() > kFrameSize) fuzz::Violated();
    begin += n;
  }
  if (found != frames.size() || joiner.Held() != 0) fuzz::Violated();
  return 0;
}
