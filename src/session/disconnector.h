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

 private:
  View& view_;
  Timer& scanTimer_;
  Timer& responseTimer_;
  Link& link_;
};

}  // namespace corvane
