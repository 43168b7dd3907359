#include "trace.h"

namespace corvane {

Q_LOGGING_CATEGORY(SerialTrace, "corvane.serial", QtWarningMsg)
Q_LOGGING_CATEGORY(FrameTrace, "corvane.frames", QtWarningMsg)
Q_LOGGING_CATEGORY(ScanTrace, "corvane.scan", QtWarningMsg)

void EnableTrace() {
  // Qt applies QT_LOGGING_RULES after the rules set here.
  QLoggingCategory::setFilterRules(QStringLiteral("corvane.*.debug=true\ncorvane.*.info=true"));
}

}  // namespace corvane
