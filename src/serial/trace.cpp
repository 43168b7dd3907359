#include "trace.h"

#include "frame_joiner.h"

namespace corvane {

Q_LOGGING_CATEGORY(SerialTrace, "corvane.serial", QtWarningMsg)
Q_LOGGING_CATEGORY(FrameTrace, "corvane.frames", QtWarningMsg)
Q_LOGGING_CATEGORY(ScanTrace, "corvane.scan", QtWarningMsg)

void EnableTrace() {
  // Qt applies QT_LOGGING_RULES after the rules set here.
  QLoggingCategory::setFilterRules(QStringLiteral("corvane.*.debug=true\ncorvane.*.info=true"));
}

namespace {

class FrameJoinTrace : public JoinTrace {
 public:
  void Held(std::size_t held, std::size_t pieces) override {
    qCDebug(FrameTrace).noquote() << "held" << held << "bytes from" << pieces << (pieces == 1 ? "read" : "reads");
  }
  void Joined(std::size_t length, std::size_t pieces) override {
    qCDebug(FrameTrace).noquote() << "joined a frame of" << length << "bytes from" << pieces << "reads";
  }
  void Dropped(std::size_t bytes, DropCause cause) override {
    const char* why = cause == DropCause::kGap     ? "the rest did not follow in time"
                      : cause == DropCause::kWhole ? "a whole frame came instead of the rest"
                                                   : "they cannot begin a frame";
    qCDebug(FrameTrace).noquote() << "dropped" << bytes << "bytes:" << why;
  }
};

}  // namespace

std::unique_ptr<JoinTrace> MakeJoinTrace() { return std::make_unique<FrameJoinTrace>(); }

}  // namespace corvane
