// Where one device's run stands, and what the milestones of its update mean for its exit status.
// Shared by the single run and by each port of a gang, which differ only in how a device is found.
#pragma once
#include <optional>

#include "exit_status.h"
#include "view.h"

namespace corvane::cli {

enum class RunPhase {
  kScanning,      // until a device is reported
  kReady,         // a gang's device is reported and waits for the others
  kPressing,      // an update button is being pressed
  kTransferring,  // until the verdict or a dropped link
};

// The exit status that the milestone ends the run with once the device was found (pressing or
// transferring), or nothing; moves `phase` on when the transfer starts. A dropped link while
// scanning ends the scan without a device.
inline std::optional<ExitStatus> UpdateStatus(RunPhase& phase, Outcome outcome) {
  switch (outcome) {
    case Outcome::kFileRefused:
      if (phase == RunPhase::kPressing) return ExitStatus::kFileRefused;
      break;
    case Outcome::kTransferStarted:
      if (phase == RunPhase::kPressing) phase = RunPhase::kTransferring;
      break;
    case Outcome::kUpdateSucceeded:
      if (phase == RunPhase::kTransferring) return ExitStatus::kSuccess;
      break;
    case Outcome::kUpdateFailed:
      if (phase == RunPhase::kTransferring) return ExitStatus::kUpdateFailed;
      break;
    case Outcome::kLinkDropped:
      return phase == RunPhase::kScanning ? ExitStatus::kNoDevice : ExitStatus::kLinkDropped;
    default:
      break;
  }
  return std::nullopt;
}

}  // namespace corvane::cli
