#include "open_failure.h"

#include "texts.h"

namespace corvane {

OpenFailure SettingsFailure(OpenResult result) {
  OpenFailure failure;
  failure.result = result;
  failure.cause = result == OpenResult::kOk ? OpenCause::kNone : OpenCause::kSettingsRefused;
  return failure;
}

std::string HolderText(const PortHolder& holder) {
  const std::string pid = "pid " + std::to_string(holder.pid);
  return holder.name.empty() ? pid : holder.name + " (" + pid + ")";
}

std::string HolderList(const std::vector<PortHolder>& holders, std::size_t shown) {
  std::string text;
  for (std::size_t i = 0; i < holders.size() && i < shown; ++i) text += (i > 0 ? ", " : "") + HolderText(holders[i]);
  if (holders.size() > shown) text += " and " + std::to_string(holders.size() - shown) + " more";
  return text;
}

namespace {

std::string BusyText(const std::vector<PortHolder>& holders) {
  if (holders.empty()) return texts::kCauseBusyUnknown;
  return texts::kCauseBusyHeldBy + HolderList(holders);
}

}  // namespace

std::string CauseText(const OpenFailure& failure) {
  switch (failure.cause) {
    case OpenCause::kNone:
      return {};
    case OpenCause::kNotFound:
      return texts::kCauseNotFound;
    case OpenCause::kPermissionDenied:
      return texts::kCausePermissionDenied;
    case OpenCause::kBusy:
      return BusyText(failure.holders);
    case OpenCause::kLocked:
      return texts::kCauseLocked;
    case OpenCause::kNotSerial:
      return texts::kCauseNotSerial;
    case OpenCause::kSettingsRefused:
      return failure.detail.empty() ? std::string(texts::kCauseSettingsRefused)
                                    : std::string(texts::kCauseSettingsRefused) + ": " + failure.detail;
    case OpenCause::kIoError:
      return failure.detail.empty() ? std::string(texts::kCauseIoErrorBare) : texts::kCauseIoError + failure.detail;
    case OpenCause::kHostNotFound:
      return texts::kCauseHostNotFound;
    case OpenCause::kConnectionRefused:
      return texts::kCauseConnectionRefused;
    case OpenCause::kTimedOut:
      return texts::kCauseTimedOut;
  }
  return {};
}

}  // namespace corvane
