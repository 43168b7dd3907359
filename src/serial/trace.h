// The trace: what the link does, written to standard error when switched on. Off by default
// (only warnings pass); --trace or QT_LOGGING_RULES (e.g. "corvane.frames.debug=true") turn
// categories on.
#pragma once
#include <QLoggingCategory>

namespace corvane {

Q_DECLARE_LOGGING_CATEGORY(SerialTrace)  // corvane.serial: ports opened and closed, with causes
Q_DECLARE_LOGGING_CATEGORY(FrameTrace)   // corvane.frames: every frame in and out, as hex
Q_DECLARE_LOGGING_CATEGORY(ScanTrace)    // corvane.scan: the scan's steps, the port list, timers

// Switches every corvane.* category on. Rules in QT_LOGGING_RULES still win, so a single
// category can be turned off again from the environment.
void EnableTrace();

}  // namespace corvane
