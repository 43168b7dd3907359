#include "gang_printer.h"

#include <cstdio>

#include "run_result.h"

namespace corvane::cli {
namespace {

constexpr const char* kClearLine = "\x1b[2K";
constexpr const char* kClearBelow = "\x1b[J";

std::string CursorUp(std::size_t lines) { return "\x1b[" + std::to_string(lines) + "A"; }

std::string Padded(const std::string& text, std::size_t width) {
  std::size_t columns = 0;
  for (const char c : text) columns += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return columns >= width ? text : text + std::string(width - columns, ' ');
}

}  // namespace

std::string FormatRow(const GangRow& row, std::size_t portWidth) {
  std::string text = Padded(row.port, portWidth) + "  " + Padded(row.model.empty() ? "-" : row.model, 16) + "  " +
                     Padded(row.state, 14);
  if (!row.transfer) return text;
  const double kilobytesPerSecond = row.seconds > 0 ? row.sent * 64.0 / 1000.0 / row.seconds : 0.0;
  char figures[96];
  std::snprintf(figures, sizeof figures, "  %3d %%  %u/%u blocks  %.1f kB/s", row.percent,
                static_cast<unsigned>(row.sent), static_cast<unsigned>(row.total), kilobytesPerSecond);
  return text + figures;
}

std::string FormatSummary(const GangRow& row, ExitStatus status, std::size_t portWidth) {
  std::string result = ResultWords(status);
  if (status != ExitStatus::kSuccess) result += " (" + std::to_string(Code(status)) + ")";
  std::string text = Padded(row.port, portWidth) + "  " + Padded(row.model.empty() ? "-" : row.model, 16) + "  " +
                     (row.transfer ? Padded(result, 22) : result);
  if (!row.transfer) return text;
  char figures[64];
  std::snprintf(figures, sizeof figures, "  %u/%u blocks  %.1f s", static_cast<unsigned>(row.sent),
                static_cast<unsigned>(row.total), row.seconds);
  return text + figures;
}

std::string FitColumns(const std::string& line, std::size_t columns) {
  if (columns == 0) return line;
  std::size_t seen = 0;
  for (std::size_t i = 0; i < line.size(); ++i) {
    if ((static_cast<unsigned char>(line[i]) & 0xC0) == 0x80) continue;  // inside a character
    if (seen++ == columns) return line.substr(0, i);
  }
  return line;
}

GangPrinter::GangPrinter(std::ostream& table, bool terminal, std::size_t columns)
    : table_(table), terminal_(terminal), columns_(columns) {}

void GangPrinter::Line(std::ostream& stream, const std::string& text) {
  Erase();
  stream << text << '\n';
  stream.flush();
  Draw();
}

void GangPrinter::Rows(const std::vector<std::string>& rows) {
  if (!terminal_) return;
  // Redrawn line by line over the old rows: no blank moment, so no flicker.
  if (drawn_ > 0) table_ << CursorUp(drawn_);
  const std::size_t before = drawn_;
  rows_ = rows;
  drawn_ = 0;
  Draw();
  if (before > drawn_) table_ << kClearBelow;
  table_.flush();
}

void GangPrinter::Release() {
  rows_.clear();
  drawn_ = 0;
}

void GangPrinter::Erase() {
  if (drawn_ == 0) return;
  table_ << CursorUp(drawn_) << kClearBelow;
  table_.flush();
  drawn_ = 0;
}

void GangPrinter::Draw() {
  if (!terminal_) return;
  // Each row is cut to the terminal's width: a wrapped row would throw the count of lines to go
  // back up.
  const std::size_t width = columns_ > 1 ? columns_ - 1 : 0;
  for (const std::string& row : rows_) table_ << '\r' << kClearLine << FitColumns(row, width) << '\n';
  drawn_ = rows_.size();
  table_.flush();
}

}  // namespace corvane::cli
