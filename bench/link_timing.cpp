#include "link_timing.h"

#include <algorithm>
#include <chrono>

#include "frame.h"

namespace corvane::bench {

LinkRecorder::LinkRecorder(std::size_t capacity)
    : capacity_(capacity), events_(std::make_unique<LinkEvent[]>(capacity)) {}

void LinkRecorder::ChunkRead(const std::uint8_t* data, std::size_t length) noexcept {
  Record(LinkEventKind::kRead, data, length);
}

void LinkRecorder::WriteIssued(const std::uint8_t* data, std::size_t length) noexcept {
  Record(LinkEventKind::kWrite, data, length);
}

void LinkRecorder::Dispatched(const std::uint8_t* data, std::size_t length) noexcept {
  Record(LinkEventKind::kDispatch, data, length);
}

void LinkRecorder::SendCalled(const std::uint8_t* data, std::size_t length) noexcept {
  Record(LinkEventKind::kSend, data, length);
}

std::span<const LinkEvent> LinkRecorder::Events() const { return {events_.get(), std::min(next_.load(), capacity_)}; }

void LinkRecorder::Record(LinkEventKind kind, const std::uint8_t* data, std::size_t length) noexcept {
  const auto now = std::chrono::steady_clock::now().time_since_epoch();
  const std::size_t slot = next_.fetch_add(1);
  if (slot >= capacity_) {
    dropped_.fetch_add(1);
    return;
  }
  LinkEvent& event = events_[slot];
  event.ns = std::chrono::duration_cast<std::chrono::nanoseconds>(now).count();
  event.type = length >= 2 ? FrameTypeCode(data) : 0;
  event.length = static_cast<std::uint16_t>(std::min<std::size_t>(length, 0xFFFF));
  event.kind = kind;
}

namespace {

bool OnLine(const LinkEvent& event) {
  return event.kind == LinkEventKind::kRead || event.kind == LinkEventKind::kWrite;
}

bool IsBlockRequest(const LinkEvent& event) {
  return event.kind == LinkEventKind::kRead && event.type == kBlockRequest;
}

// The index of the first read or write after `from`, or `events.size()`.
std::size_t NextOnLine(std::span<const LinkEvent> events, std::size_t from) {
  std::size_t i = from + 1;
  while (i < events.size() && !OnLine(events[i])) ++i;
  return i;
}

}  // namespace

LinkTimings AnalyseLinkEvents(std::span<const LinkEvent> events) {
  LinkTimings timings;
  for (std::size_t i = 0; i < events.size(); ++i) {
    if (!IsBlockRequest(events[i])) continue;
    const LinkEvent& request = events[i];
    const std::size_t w = NextOnLine(events, i);
    if (w == events.size() || events[w].kind != LinkEventKind::kWrite) continue;
    const LinkEvent& answer = events[w];
    timings.turnaround.push_back(answer.ns - request.ns);

    const LinkEvent* dispatch = nullptr;
    const LinkEvent* send = nullptr;
    for (std::size_t k = i + 1; k < w; ++k) {
      if (events[k].kind == LinkEventKind::kDispatch && !dispatch) dispatch = &events[k];
      if (events[k].kind == LinkEventKind::kSend && dispatch) send = &events[k];
    }
    if (dispatch && send) {
      timings.toWindow.push_back(dispatch->ns - request.ns);
      timings.windowWork.push_back(send->ns - dispatch->ns);
      timings.toPort.push_back(answer.ns - send->ns);
    }

    const std::size_t r = NextOnLine(events, w);
    if (r < events.size() && IsBlockRequest(events[r])) {
      timings.deviceLeg.push_back(events[r].ns - answer.ns);
      timings.roundTrip.push_back(events[r].ns - request.ns);
    }
  }
  return timings;
}

}  // namespace corvane::bench
