// The block transfer wired to the recording fakes, with the real sender and disconnect routine.
#pragma once
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "block_transfer.h"
#include "bytes.h"
#include "completion_notices.h"
#include "disconnector.h"
#include "fakes.h"
#include "frame.h"
#include "sender.h"

namespace corvane::testing {

// An image's bytes as a transfer holds them.
inline std::shared_ptr<const std::vector<std::uint8_t>> Share(const std::vector<std::uint8_t>& image) {
  return std::make_shared<const std::vector<std::uint8_t>>(image);
}

struct TransferRig : FakeWindow {
  FakeSound sound{log};
  FakeRandom random;
  Disconnector disconnector{view, timer1, timer2, link};
  RequestSender sender{link, timer2, view, disconnector};
  CompletionNotices notices{sound};
  BlockTransfer transfer{view, timer2, sender, disconnector, notices, random};

  TransferRig() { link.open = true; }

  // The frames a connected device sends, sealed with their CRC.
  static Frame DeviceFrame(std::uint16_t type) {
    Frame f{};
    WriteBe16(&f[kTypeOffset], type);
    return f;
  }
  static Frame BlockRequest(std::uint16_t intervalMs) {
    Frame f = DeviceFrame(kBlockRequest);
    WriteBe16(&f[kIntervalOffset], intervalMs);
    SealFrame(f.data());
    return f;
  }
  static Frame TimeoutUpdate(std::uint16_t intervalMs) {
    Frame f = DeviceFrame(kTimeoutUpdate);
    WriteBe16(&f[kTimeoutOffset], intervalMs);
    SealFrame(f.data());
    return f;
  }
  static Frame Verdict(std::uint16_t type, std::uint8_t verdict) {
    Frame f = DeviceFrame(type);
    f[kVerdictOffset] = verdict;
    SealFrame(f.data());
    return f;
  }

  void Request(std::uint16_t intervalMs) { transfer.HandleBlockRequest(BlockRequest(intervalMs).data()); }

  // An image whose every block is distinct: byte i of block k is k * 7 + i.
  static std::vector<std::uint8_t> Image(std::size_t blocks) {
    std::vector<std::uint8_t> image(blocks * 64);
    for (std::size_t i = 0; i < image.size(); ++i) image[i] = static_cast<std::uint8_t>((i / 64) * 7 + i % 64);
    return image;
  }
  // Answers every block of the loaded transfer until its end frame has gone out.
  void RunToEndFrame() {
    while (!transfer.EndFrameSent()) Request(40);
  }
  const std::vector<std::uint8_t>& LastSent() const { return link.sent.back(); }
  std::uint16_t LastSentType() const { return FrameTypeCode(LastSent().data()); }
};

}  // namespace corvane::testing
