// What the simulated controller has received, so tests can check what a device actually got.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

#include "frame.h"

namespace corvane {

struct EndFrameRecord {
  std::uint16_t type = 0;  // 0xDA06 FirmwareEnd, 0xDA08 DataMapEnd (or whatever stood there)
  bool crcOk = false;
  std::uint32_t closingValue = 0;  // bytes 13..16 unscrambled, most significant byte first
};

struct SimObservations {
  // Every identify request with a valid CRC, repeats included, in arrival order.
  std::vector<IdentifyRequestFrame> identifyRequests;

  // The transfer record; a new identify request starts it afresh.
  std::vector<Frame> blocks;  // file blocks in arrival order, repeats not stored again
  std::uint32_t resends = 0;  // units taken as a host's repeat of the one before
  std::uint32_t endFrames = 0;  // end frames received, repeats included
  std::optional<EndFrameRecord> endFrame;  // the latest one

  // Units that looked like frames but failed their CRC: a damaged end frame (or whatever stood
  // in its place when the block count is known), a block typed like an end frame, or a lone
  // identify request dropped as a fragment.
  std::uint32_t badCrcFrames = 0;
  // Bytes thrown away as incomplete or stale input.
  std::size_t droppedBytes = 0;
  // The line has been closed (vanish fault or on request).
  bool vanished = false;
};

}  // namespace corvane
