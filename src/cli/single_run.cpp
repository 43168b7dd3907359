#include "single_run.h"

#include <iostream>

#include "console_texts.h"
#include "console_view.h"
#include "file_facts.h"
#include "file_refusal.h"
#include "flash_run.h"

namespace corvane::cli {
namespace {

TransferKind KindOf(const CliOptions& options) {
  return options.command == Command::kFirmware ? TransferKind::kFirmware : TransferKind::kDataMap;
}

// The file as the run read it; read now when no device came to read it.
FileFacts FileOfRun(const CliOptions& options, const SharedFileSource& files) {
  const FileRead* cached = files.Cached(options.file);
  const FileRead read = cached ? *cached : ReadUpdateFile(options.file);
  return DescribeFile(options.file, KindOf(options), read.bytes);
}

}  // namespace

ExitStatus RunSingle(const CliOptions& options, const RunRecorder& recorder, const PortIdentityLookup& lookUp,
                     bool terminal) {
  std::ostream& human = options.json ? std::cerr : std::cout;
  ConsoleView view(ConsoleSetup{human, std::cerr, terminal, options.yes, options.file});
  DeviceTap tap(view, TapSetup{recorder.events, lookUp});
  view.SetMessageHook([&tap](const std::string& text) { tap.NoteMessage(text); });
  SharedFileSource files;
  ExitStatus status = ExitStatus::kNoDevice;
  // The file first: one that cannot be sent ends the run before any port is opened.
  const std::optional<std::string> refusal =
      options.command == Command::kIdentify ? std::nullopt : RefuseUpdateFile(KindOf(options), options.file, files);
  if (refusal) {
    view.Message(*refusal);
    status = ExitStatus::kFileRefused;
  } else {
    FlashRun run(options, view, FlashRunExtras{&tap, &files});
    status = run.Run();
  }
  tap.End();
  if (!recorder.events && !recorder.log) return status;

  DeviceFacts facts = tap.Facts();
  if (!facts.found) facts.port.clear();  // the scan's last port is not where a device was
  std::optional<FileFacts> file;
  if (recorder.log && options.command != Command::kIdentify) file = FileOfRun(options, files);
  std::string error;
  if (!recorder.Record(facts, status, file ? &*file : nullptr, error)) {
    std::cerr << texts::kLogNotWritten << error << std::endl;
    status = Graver(status, ExitStatus::kLogFailed);
  }
  return status;
}

}  // namespace corvane::cli
