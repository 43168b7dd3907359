// ResetToDisconnected: puts the window back into its disconnected state.
#pragma once
#include "link.h"
#include "timer.h"
#include "view.h"

namespace corvane {

class Disconnector {
 public:
  Disconnector(View& view, Timer& scanTimer, Timer& responseTimer, Link& link);
  // Clear Memo1, stop Timer2, stop Timer1, button-face colour, ClosePort, "device disconnected.",
  // enable Button1, disable Button2 and Button4 (visibility kept), gauge 0; in this order.
  void ResetToDisconnected();
  // How often the window was reset so far: a change tells that a connection has ended.
  std::uint32_t Resets() const { return resets_; }

 private:
  View& view_;
  Timer& scanTimer_;
  Timer& responseTimer_;
  Link& link_;
  std::uint32_t resets_ = 0;
};

}  // namespace corvane
