// What the link gives the thread of one open port, as one object: the port's hand-over, the
// link's FrameReceived flag, the way to reach the window thread, and an optional timing probe.
// The link thread keeps it for as long as it runs; its port session and reader refer to it.
#pragma once
#include <functional>
#include <memory>

#include "frame_flag.h"
#include "hand_over.h"
#include "timing_probe.h"

namespace corvane {

struct PortChannel {
  std::shared_ptr<HandOver> handOver;
  std::shared_ptr<FrameFlag> frameReceived;
  // Called on the link thread once a chunk is out: has the window thread dispatch it, without
  // waiting for that.
  std::function<void()> postDispatch;
  TimingProbe* probe = nullptr;  // may be null
};

}  // namespace corvane
