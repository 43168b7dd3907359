// The human output of a gang. On a terminal each port has one row that is redrawn in place
// (port, model, state, percent, blocks, rate), and every other line is printed above the rows.
// Elsewhere the rows are not drawn: each port's lines, its progress at every 10 % step among
// them, are printed as they come, prefixed with the port.
#pragma once
#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "exit_status.h"

namespace corvane::cli {

struct GangRow {
  std::string port;
  std::string model;  // empty until the device is reported
  std::string state;
  bool transfer = false;  // a transfer has started: the figures below count
  int percent = 0;
  std::uint32_t sent = 0;
  std::uint32_t total = 0;
  double seconds = 0;  // since block 0
};

// One row, the port padded to `portWidth`.
std::string FormatRow(const GangRow& row, std::size_t portWidth);

// A port's line of the summary: its model, its result and, after a transfer, its blocks and time.
std::string FormatSummary(const GangRow& row, ExitStatus status, std::size_t portWidth);

// The first `columns` characters of a UTF-8 line (all of it when `columns` is 0).
std::string FitColumns(const std::string& line, std::size_t columns);

class GangPrinter {
 public:
  // `table` is where the rows go; `terminal` whether it is a terminal `columns` wide (0: unknown).
  GangPrinter(std::ostream& table, bool terminal, std::size_t columns = 0);

  bool Terminal() const { return terminal_; }
  // `text` as a line of `stream`; on a terminal the rows are taken away first and drawn again
  // below it.
  void Line(std::ostream& stream, const std::string& text);
  // The rows as they are now, drawn over the rows before; nothing elsewhere.
  void Rows(const std::vector<std::string>& rows);
  // Leaves the rows where they are; what is printed next goes below them.
  void Release();

 private:
  void Erase();
  void Draw();

  std::ostream& table_;
  const bool terminal_;
  const std::size_t columns_;
  std::vector<std::string> rows_;
  std::size_t drawn_ = 0;  // rows on screen above the cursor
};

}  // namespace corvane::cli
