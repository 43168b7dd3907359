#include "device_tap.h"

#include <algorithm>

#include "device_models.h"
#include "texts.h"

namespace corvane::cli {

double DeviceFacts::TransferSeconds(Clock::time_point now) const {
  if (!transferStarted) return 0.0;
  return std::chrono::duration<double>(end.value_or(now) - transferStart).count();
}

std::optional<std::string> ModelName(std::uint16_t typeCode) {
  const DeviceModel* model = FindModel(typeCode);
  if (model == nullptr) return std::nullopt;
  std::string name = model->firstLine;
  const auto colon = name.find(": ");
  if (colon != std::string::npos) name.erase(0, colon + 2);
  while (!name.empty() && name.back() == ' ') name.pop_back();
  return name;
}

std::string DeviceIdHex(const IdentificationRecord& record) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string hex;
  for (std::size_t i = 9; i < record.bytes.size(); ++i) {
    hex += kDigits[record.bytes[i] >> 4];
    hex += kDigits[record.bytes[i] & 0xF];
  }
  return hex;
}

DeviceTap::DeviceTap(View& view, TapSetup setup) : view_(view), setup_(std::move(setup)) {}

void DeviceTap::End() {
  if (facts_.transferStarted && !facts_.end) facts_.end = setup_.clock();
}

// The scan's and the link's routine texts say nothing about why a run ended.
void DeviceTap::SetStatus(const std::string& text) {
  view_.SetStatus(text);
  if (text == texts::kConnected) {
    facts_.found = true;
    if (setup_.lookUp) facts_.identity = setup_.lookUp(facts_.port);
    if (setup_.events) setup_.events->OnFound(facts_);
    return;
  }
  if (text != texts::kScanning && text != texts::kDisconnected) facts_.lastMessage = text;
}

void DeviceTap::ShowProgress(std::uint32_t block, std::uint32_t blockCount) {
  if (setup_.forwardProgress) view_.ShowProgress(block, blockCount);
  if (block == 0) {
    facts_.transferStarted = true;
    facts_.transferStart = setup_.clock();
    facts_.end.reset();
    facts_.verdict.reset();
    facts_.endFrameSent = false;
  }
  facts_.sent = std::min(block + 1, blockCount);
  facts_.total = blockCount;
  facts_.percent = ProgressPercent(block, blockCount);
  if (block == blockCount) facts_.endFrameSent = true;
  if (setup_.events) setup_.events->OnProgress(facts_);
}

void DeviceTap::ShowVerdict(const Verdict& verdict) {
  facts_.verdict = verdict;
  facts_.end = setup_.clock();
  view_.ShowVerdict(verdict);
  if (setup_.events) setup_.events->OnResult(facts_);
}

void DeviceTap::ShowPorts(const std::vector<std::string>& names, const std::string& current) {
  facts_.port = current;
  view_.ShowPorts(names, current);
}

void DeviceTap::ShowNotice(const std::string& text) {
  facts_.lastMessage = text;
  view_.ShowNotice(text);
}

BoxAnswer DeviceTap::ShowBox(const std::string& text, const std::string& caption, BoxButtons buttons) {
  facts_.lastMessage = text;
  const BoxAnswer answer = view_.ShowBox(text, caption, buttons);
  if (buttons == BoxButtons::kYesNo && setup_.events) {
    const Question which = text == texts::kFirmwareOlder  ? Question::kOlderFirmware
                           : text == texts::kFirmwareSame ? Question::kSameFirmware
                                                          : Question::kOther;
    setup_.events->OnQuestion(facts_, which, answer == BoxAnswer::kYes);
  }
  return answer;
}

void DeviceTap::ShowOpenAttempt(const std::string& port, const OpenFailure& failure) {
  if (std::find(facts_.portsTried.begin(), facts_.portsTried.end(), port) == facts_.portsTried.end())
    facts_.portsTried.push_back(port);
  view_.ShowOpenAttempt(port, failure);
}

void DeviceTap::ReportOutcome(Outcome outcome) {
  if (outcome == Outcome::kRecordRejected) facts_.recordRejected = true;
  view_.ReportOutcome(outcome);
  if (outcome == Outcome::kDeviceReported && setup_.events) setup_.events->OnReport(facts_);
}

// A supported device's report event follows its milestone, once the report is complete; an
// unsupported type has no milestone of that kind, so its event goes out with the record.
void DeviceTap::ReportIdentification(const IdentificationRecord& record) {
  facts_.record = record;
  view_.ReportIdentification(record);
  if (!FindModel(record.TypeCode()) && setup_.events) setup_.events->OnReport(facts_);
}

}  // namespace corvane::cli
