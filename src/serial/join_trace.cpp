#include "join_trace.h"

#include "trace.h"

namespace corvane {
namespace {

const char* CauseText(JoinTrace::DropCause cause) {
  switch (cause) {
    case JoinTrace::DropCause::kGap:
      return "the rest did not follow in time";
    case JoinTrace::DropCause::kWhole:
      return "a whole frame came instead of the rest";
    case JoinTrace::DropCause::kNoFrame:
      return "no frame begins there";
  }
  return "";
}

}  // namespace

void FrameJoinTrace::Held(std::size_t held, std::size_t pieces) {
  qCDebug(FrameTrace).noquote() << QStringLiteral("held %1 bytes from %2 reads, waiting for the rest").arg(held).arg(pieces);
}

void FrameJoinTrace::Joined(std::size_t length, std::size_t pieces) {
  qCDebug(FrameTrace).noquote() << QStringLiteral("joined a frame of %1 bytes from %2 reads").arg(length).arg(pieces);
}

void FrameJoinTrace::Dropped(std::size_t bytes, DropCause cause) {
  qCDebug(FrameTrace).noquote() << QStringLiteral("dropped %1 bytes: %2").arg(bytes).arg(CauseText(cause));
}

}  // namespace corvane
