#include "progress_printer.h"

#include <cstdio>

namespace corvane::cli {
namespace {

// A terminal line is redrawn for every new percentage, and for new blocks at most this often:
// a fast device asks for thousands of blocks a second.
constexpr std::chrono::milliseconds kRedrawInterval{100};

}  // namespace

ProgressPrinter::ProgressPrinter(std::ostream& out, bool terminal, Clock clock)
    : out_(out), terminal_(terminal), clock_(std::move(clock)) {}

void ProgressPrinter::Start() {
  BreakLine();
  start_ = clock_();
  shownPercent_ = -1;
  shownSent_ = 0;
  nextStep_ = 0;
}

void ProgressPrinter::Show(int percent, std::uint32_t sent, std::uint32_t total) {
  if (percent < 0) return;
  if (percent > 100) percent = 100;
  const auto now = clock_();
  if (terminal_) {
    if (percent < shownPercent_) return;
    const bool due = percent > shownPercent_ || (sent != shownSent_ && now - lastDraw_ >= kRedrawInterval);
    if (!due) return;
    shownPercent_ = percent;
    shownSent_ = sent;
    lastDraw_ = now;
    out_ << '\r';
    Draw(percent, sent, total, now);
    lineOpen_ = true;
    out_.flush();
    return;
  }
  // Every step reached is printed once, also those a large jump passed over.
  for (; nextStep_ <= percent; nextStep_ += 10) {
    Draw(nextStep_, sent, total, now);
    out_ << '\n';
  }
  out_.flush();
}

void ProgressPrinter::BreakLine() {
  if (!lineOpen_) return;
  out_ << '\n';
  out_.flush();
  lineOpen_ = false;
}

void ProgressPrinter::Draw(int percent, std::uint32_t sent, std::uint32_t total,
                           std::chrono::steady_clock::time_point now) {
  const double seconds = std::chrono::duration<double>(now - start_).count();
  // On a terminal the block count is padded to the width of the total, so that a redrawn line
  // never gets shorter and leaves no characters of the one before.
  const int width = terminal_ ? std::snprintf(nullptr, 0, "%u", static_cast<unsigned>(total)) : 0;
  char text[96];
  std::snprintf(text, sizeof text, "%3d %%  %*u/%u blocks  %.1f s", percent, width, static_cast<unsigned>(sent),
                static_cast<unsigned>(total), seconds);
  // Plain lines start with the number, so that "10 %" is found at the start of the line.
  const char* shown = text;
  if (!terminal_) {
    while (*shown == ' ') ++shown;
  }
  out_ << shown;
}

}  // namespace corvane::cli
