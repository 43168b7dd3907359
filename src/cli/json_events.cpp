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

void JsonEvents::Error(const std::string& port, ExitStatus status, const std::string& message) {
  Write(Event("error", port).String("cause", ResultKey(status)).String("message", message).Text());
}

void JsonEvents::Exit(ExitStatus status) {
  Write(JsonLine().String("event", "exit").Integer("status", Code(status)).Text());
}

}  // namespace corvane::cli
