#include "scan_diagnosis.h"

#include <algorithm>

#include "port_access.h"
#include "console_texts.h"
#include "port_path.h"
#include "system_port.h"

namespace corvane::cli {
namespace {

std::vector<std::string> PresentPorts() {
  std::vector<std::string> present;
  for (const std::string& name : SystemSerialPortNames()) present.push_back(PortPath(name));
  return present;
}

PortAttempt Named(const PortAttempt& attempt) {
  PortAttempt named = attempt;
  named.port = PortShown(attempt.port);
  if (attempt.failure.cause == OpenCause::kPermissionDenied) named.accessGroup = AccessGroup(named.port);
  return named;
}

}  // namespace

std::string PortShown(const std::string& port) { return port.empty() ? port : PortPath(port); }

std::string PortVanishedText(const std::string& port, const std::string& cause) {
  const std::string shown = PortShown(port);
  return texts::kPortVanished + shown + texts::kPortVanishedWhy + cause +
         (IsPortUrl(shown) ? texts::kConnectionLostEnd : texts::kPortVanishedEnd);
}

std::vector<std::string> WhyNoDevice(const std::vector<PortAttempt>& attempts, bool systemPorts) {
  const std::vector<std::string> present = PresentPorts();
  std::vector<PortAttempt> shown;
  for (const PortAttempt& attempt : attempts) {
    PortAttempt named = Named(attempt);
    if (systemPorts && std::find(present.begin(), present.end(), named.port) == present.end()) continue;
    shown.push_back(std::move(named));
  }
  return NoDeviceLines(shown, present);
}

std::vector<std::string> WhyNotOpened(const std::vector<PortAttempt>& attempts) {
  if (attempts.empty() || !attempts.back().failure.Failed()) return {};
  const PortAttempt named = Named(attempts.back());
  std::vector<std::string> lines = {CauseText(named.failure)};
  for (const std::string& fix : FixLines(named, PresentPorts())) lines.push_back("  " + fix);
  return lines;
}

}  // namespace corvane::cli
