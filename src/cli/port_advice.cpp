#include "port_advice.h"

#include "console_texts.h"

namespace corvane::cli {

namespace {

std::string JoinPorts(const std::vector<std::string>& ports) {
  std::string text;
  for (std::size_t i = 0; i < ports.size(); ++i) text += (i ? ", " : "") + ports[i];
  return text;
}

std::vector<std::string> PermissionFix(const std::string& group) {
  if (group.empty()) return {texts::kFixNoGroup};
  return {texts::kFixGroupIntro + group + ". " + texts::kFixAddUser, std::string(texts::kFixUsermod) + group + " $USER",
          texts::kFixNewLogin};
}

std::vector<std::string> BusyFix(const std::vector<PortHolder>& holders) {
  if (holders.empty()) return {texts::kFixBusyUnknown};
  std::vector<std::string> lines;
  for (std::size_t i = 0; i < holders.size() && i < kHoldersShown; ++i)
    lines.push_back(texts::kFixClose + HolderText(holders[i]) + texts::kFixCloseEnd);
  if (holders.size() > kHoldersShown)
    lines.push_back(std::to_string(holders.size() - kHoldersShown) + texts::kFixMoreHolders);
  return lines;
}

}  // namespace

std::vector<std::string> FixLines(const PortAttempt& attempt, const std::vector<std::string>& presentPorts) {
  switch (attempt.failure.cause) {
    case OpenCause::kPermissionDenied:
      return PermissionFix(attempt.accessGroup);
    case OpenCause::kBusy:
      return BusyFix(attempt.failure.holders);
    case OpenCause::kLocked:
      return {texts::kFixLocked};
    case OpenCause::kNotFound:
      if (presentPorts.empty()) return {texts::kFixNoPortsPresent};
      return {texts::kFixPortsPresent + JoinPorts(presentPorts)};
    default:
      return {};
  }
}

std::vector<std::string> PortFailureLines(const PortAttempt& attempt, const std::vector<std::string>& presentPorts) {
  std::vector<std::string> lines = {attempt.port + ": " + CauseText(attempt.failure)};
  for (const std::string& fix : FixLines(attempt, presentPorts)) lines.push_back("  " + fix);
  return lines;
}

std::vector<std::string> NoDeviceLines(const std::vector<PortAttempt>& attempts,
                                       const std::vector<std::string>& presentPorts) {
  if (attempts.empty()) return {texts::kNoPortsAtAll};
  std::vector<std::string> silent;
  std::vector<const PortAttempt*> failed;
  for (const PortAttempt& attempt : attempts) {
    if (attempt.failure.Failed())
      failed.push_back(&attempt);
    else
      silent.push_back(attempt.port);
  }
  std::vector<std::string> lines;
  if (silent.empty()) {
    lines.push_back(texts::kNoPortOpened);
  } else {
    lines.push_back(texts::kNobodyAnswered + JoinPorts(silent));
    if (!failed.empty()) lines.push_back(texts::kOthersNotOpened);
  }
  for (const PortAttempt* attempt : failed)
    for (std::string& line : PortFailureLines(*attempt, presentPorts)) lines.push_back("  " + std::move(line));
  return lines;
}

}  // namespace corvane::cli
