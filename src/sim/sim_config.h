// What the simulated controller says about itself, how it paces a transfer, and which faults it
// shows on demand.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace corvane {

// A TimeoutUpdate sent in answer to block `afterBlock` (0-based index), before that block's
// BlockRequest. `holdMs` delays the BlockRequest, as a device busy erasing flash would.
struct TimeoutUpdatePlan {
  std::uint32_t afterBlock = 0;
  std::uint16_t intervalMs = 0;
  std::uint16_t holdMs = 0;
};

struct SimFaults {
  bool silent = false;         // takes everything in, answers nothing
  bool badFrameCrc = false;    // every frame sent carries a wrong frame CRC
  bool badRecordCrc = false;   // the identification record carries a wrong CRC (frame CRC right)
  bool splitReply = false;     // every write goes out as two halves with a pause between them
  bool doubleFrame = false;    // the frames of one answer share one write; a lone frame is sent twice
  bool garbage = false;        // random bytes that fail the receive check instead of each frame
  std::uint32_t ignoredIdentifies = 0;  // the first N identify requests go unanswered
  // Close the line once this many blocks have arrived (0: at the first bytes received).
  std::optional<std::uint32_t> vanishAfterBlocks;
  // Stop answering for good once this many blocks have arrived (0: answer nothing at all).
  std::optional<std::uint32_t> silentAfterBlocks;
  std::uint16_t splitPauseMs = 30;
};

// How the bytes of each write reach the host: in the pieces, and at the times, in which a kind of
// serial adapter hands received bytes to its driver.
enum class Delivery : std::uint8_t {
  kWhole,   // each write as one piece, once its last byte is in
  kUart,    // a 16550: 8 bytes at a time (its FIFO trigger), a tail 4 character times later
  kFtdi,    // an FTDI chip in low-latency mode: a packet every 1 ms tick, at most 62 bytes
  kFtdi16,  // the same with its default latency timer of 16 ms
  kCh340,   // a CH340: 32-byte packets, a tail after a short timeout
  kCdc,     // a USB CDC device: whole 64-byte packets, a tail at once
};

// How a 64-byte unit equal to the one before it is taken.
enum class ResendRule : std::uint8_t {
  // As a host resend only when the answer to the earlier unit did not reach the host intact
  // (suppressed, damaged or split). Otherwise it is the next block: files padded with equal
  // blocks transfer correctly.
  kAfterLostAnswer,
  // Always as a host resend; for hosts whose response timer may expire before an intact answer
  // arrives. Files must then have no two equal consecutive blocks.
  kAlways,
};

struct SimConfig {
  // Identification record.
  std::uint16_t typeWord = 0x0001;  // bit 15 is the mark bit
  std::uint8_t bootloaderVersion = 2;
  std::uint16_t firmwareVersion = 10;
  std::uint16_t dataVersion = 1;
  std::uint8_t programCheck = 1;  // 1 = intact
  std::uint8_t dataCheck = 1;     // 1 = intact
  std::array<std::uint8_t, 23> recordTail{};  // record bytes 9..31

  // Transfer.
  std::uint16_t blockIntervalMs = 1000;  // sent in every BlockRequest
  std::optional<TimeoutUpdatePlan> timeoutUpdate;
  std::uint8_t verdict = 1;  // byte 4 of the result frame: 1 success, anything else failure
  // When set, the unit after this many blocks is the end frame whatever it holds, so a damaged
  // end frame is seen as such. Otherwise a 64-byte unit typed 0xDA06/0xDA08 with a valid CRC is.
  std::optional<std::uint32_t> expectedBlocks;
  ResendRule resendRule = ResendRule::kAfterLostAnswer;

  // Length of the short frames (BlockRequest, results): 16..64 in steps of 4. A TimeoutUpdate is
  // at least 20 bytes long, since its field lies at bytes 13..14.
  std::size_t replyLength = 16;
  // Seed of the random bytes in replies; unset: from the system's entropy source.
  std::optional<std::uint32_t> randomSeed;

  // Bits per second on the simulated line, 8N1 (10 bits a byte, both ways): bytes are taken in
  // only once they would have crossed the wire, and answers reach the host only once they would
  // have. 0: no line time, everything at once.
  std::uint32_t lineBaud = 0;
  // Pieces and times of the answers' bytes. Any but kWhole keeps line time at 115200 when
  // lineBaud is 0, since pieces come at the pace of the line.
  Delivery delivery = Delivery::kWhole;

  SimFaults faults;
};

}  // namespace corvane
