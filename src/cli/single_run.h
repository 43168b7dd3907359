// One device, as corvane-flash runs it without --gang, with what --json and --log add to it: the
// events of the device, the error event of a run that ended without a verdict, and its record.
#pragma once
#include "cli_options.h"
#include "device_tap.h"
#include "exit_status.h"
#include "run_recorder.h"

namespace corvane::cli {

// `terminal`: the stream that gets the report and progress (standard output, or standard error
// with --json) is a terminal. Needs a QCoreApplication.
ExitStatus RunSingle(const CliOptions& options, const RunRecorder& recorder, const PortIdentityLookup& lookUp,
                     bool terminal);

}  // namespace corvane::cli
