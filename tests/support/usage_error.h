// The shape every program gives a usage error on standard error: one line "PROGRAM: <mistake>",
// then "Try 'PROGRAM --help' for more information.", and nothing else (no help text).
#pragma once
#include <string>

namespace corvane::testing {

// True when `err` is exactly such a usage error of `program` and its mistake contains `mistake`.
inline bool IsUsageError(const std::string& err, const std::string& program, const std::string& mistake = "") {
  const std::string head = program + ": ";
  const std::string tail = "\nTry '" + program + " --help' for more information.\n";
  if (err.size() <= head.size() + tail.size() || !err.starts_with(head) || !err.ends_with(tail)) return false;
  const std::string line = err.substr(head.size(), err.size() - head.size() - tail.size());
  return line.find('\n') == std::string::npos && line.find(mistake) != std::string::npos;
}

}  // namespace corvane::testing
