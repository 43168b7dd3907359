#include "json_events.h"

#include "json_line.h"
#include "run_result.h"

namespace corvane::cli {
namespace {

JsonLine Event(const char* name, const std::string& port) {
  JsonLine line;
  line.String("event", name);
  if (!port.empty()) line.String("port", port);
  return line;
}

const char* QuestionKey(Question which) {
  switch (which) {
    case Question::kOlderFirmware: return "older-firmware";
    case Question::kSameFirmware: return "same-firmware";
    case Question::kOther: break;
  }
  return "other";
}

}  // namespace

void JsonEvents::Write(const std::string& line) {
  out_ << line;
  out_.flush();
}

void JsonEvents::OnFound(const DeviceFacts& facts) {
  Write(Event("found", facts.port)
            .String("by_id", facts.identity.byId)
            .String("usb_serial", facts.identity.usbSerial)
            .Text());
}

void JsonEvents::OnReport(const DeviceFacts& facts) {
  if (!facts.record) return;
  const IdentificationRecord& record = *facts.record;
  const std::optional<std::string> model = ModelName(record.TypeCode());
  const bool dataModel = record.TypeCode() == 1;  // the one model that reports its data memory
  JsonLine line = Event("report", facts.port);
  line.Integer("model_code", record.TypeCode());
  model ? line.String("model", *model) : line.Null("model");
  line.Integer("bootloader", record.BootloaderVersion()).Integer("firmware", record.InstalledFirmwareVersion());
  dataModel ? line.Integer("data", record.DataMemoryVersion()) : line.Null("data");
  line.Bool("program_memory_ok", record.ProgramMemoryCheck() == 1);
  dataModel ? line.Bool("data_memory_ok", record.DataMemoryCheck() == 1) : line.Null("data_memory_ok");
  line.Bool("marked", record.Marked());
  line.String("device_id", DeviceIdHex(record));
  Write(line.Text());
}

void JsonEvents::OnProgress(const DeviceFacts& facts) {
  const auto shown = shownPercent_.try_emplace(facts.port, -1).first;
  if (facts.sent == 1) shown->second = -1;  // a transfer begins
  if (facts.percent == shown->second) return;
  shown->second = facts.percent;
  Write(Event("progress", facts.port).Integer("sent", facts.sent).Integer("total", facts.total).Text());
}

void JsonEvents::OnQuestion(const DeviceFacts& facts, Question which, bool yes) {
  Write(Event("question", facts.port).String("which", QuestionKey(which)).String("answer", yes ? "yes" : "no").Text());
}

void JsonEvents::OnResult(const DeviceFacts& facts) {
  if (!facts.verdict) return;
  const Verdict& verdict = *facts.verdict;
  Write(Event("result", facts.port)
            .String("kind", verdict.kind == TransferKind::kFirmware ? "firmware" : "data-map")
            .String("verdict", verdict.success ? "success" : "failure")
            .Decimal("seconds", facts.TransferSeconds(*facts.end), 3)
            .Text());
}

void JsonEvents::Start(const RunFacts& run, Command command, const std::string& file) {
  runId_ = run.runId;
  JsonLine line = Event("start", "");
  line.String("tool", run.tool).String("version", run.version).String("run_id", run.runId);
  line.String("station", run.station).String("host", run.host).String("start_time", UtcTimestamp(run.start));
  line.String("command", CommandName(command));
  file.empty() ? line.Null("file") : line.String("file", file);
  Write(line.Text());
}

void JsonEvents::Error(const std::string& port, const char* cause, const std::string& message,
                       const std::vector<std::string>* portsTried) {
  JsonLine line = Event("error", port).String("cause", cause).String("message", message);
  if (portsTried) line.Strings("ports_tried", *portsTried);
  Write(line.Text());
}

void JsonEvents::Summary(const std::vector<PortResult>& results, ExitStatus status) {
  std::string list = "[";
  for (const PortResult& r : results) {
    if (list.size() > 1) list += ',';
    std::string item = JsonLine()
                           .String("port", r.port)
                           .String("result", r.result)
                           .Integer("exit_status", Code(r.status))
                           .Integer("sent", r.sent)
                           .Integer("total", r.total)
                           .Text();
    item.pop_back();  // the line's newline
    list += item;
  }
  list += ']';
  Write(Event("summary", "").Raw("ports", list).Integer("status", Code(status)).Text());
}

void JsonEvents::Exit(ExitStatus status) {
  JsonLine line;
  line.String("event", "exit").Integer("status", Code(status));
  if (!runId_.empty()) line.String("run_id", runId_);
  line.String("end_time", UtcTimestamp(std::chrono::system_clock::now()));
  Write(line.Text());
}

}  // namespace corvane::cli
