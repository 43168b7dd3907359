// The transfer's progress on standard output. On a terminal one line that redraws itself (\r);
// elsewhere a plain line at every 10 % step, so that logs and scripts get eleven lines at most.
#pragma once
#include <chrono>
#include <cstdint>
#include <functional>
#include <ostream>

namespace corvane::cli {

class ProgressPrinter {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;

  ProgressPrinter(
      std::ostream& out, bool terminal, Clock clock = [] { return std::chrono::steady_clock::now(); });

  // A transfer begins: the elapsed time counts from here and every step is due again.
  void Start();
  // The gauge's percentage with the blocks sent so far. A value below one already shown (the
  // gauge returning to 0 when the link is dropped) is ignored.
  void Show(int percent, std::uint32_t sent, std::uint32_t total);
  // Ends a self-updating line, so that whatever is printed next starts on a line of its own.
  void BreakLine();

 private:
  void Draw(int percent, std::uint32_t sent, std::uint32_t total, std::chrono::steady_clock::time_point now);

  std::ostream& out_;
  const bool terminal_;
  Clock clock_;
  std::chrono::steady_clock::time_point start_{};
  std::chrono::steady_clock::time_point lastDraw_{};
  int shownPercent_ = -1;  // terminal: the last percentage drawn
  std::uint32_t shownSent_ = 0;
  int nextStep_ = 0;       // plain: the next 10 % step to print
  bool lineOpen_ = false;  // terminal: the cursor stands at the end of a progress line
};

}  // namespace corvane::cli
