// The connection scan: one port per step, an identification request on each, until a device
// answers. CONNECT runs the first step at once, Timer1 the later ones.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "link.h"
#include "receiver.h"
#include "sender.h"
#include "timer.h"
#include "view.h"

namespace corvane {

class ConnectionScan {
 public:
  ConnectionScan(View& view, Link& link, PortLister& lister, Timer& scanTimer, RequestSender& sender,
                 Receiver& receiver);

  // Replaces the hidden port list with the ports present now and selects the first. With no
  // port the edit text keeps its previous value.
  void ListSerialPorts();

  // `first`: from CONNECT (marks the scan as not done), else from Timer1. Steps until one succeeds.
  void ScanTick(bool first);
  // Tries one port; true when a valid frame came back within 50 ms.
  bool ScanStep();

  bool ScanDone() const { return scanDone_ != 0; }
  std::uint8_t ScanPortIndex() const { return scanPortIndex_; }
  std::uint8_t ScanGauge() const { return scanGauge_; }
  const std::vector<std::string>& Ports() const { return ports_; }
  const std::string& PortText() const { return portText_; }

 private:
  void SelectPort(std::size_t index);
  void ShowOpenFailure(OpenResult result);

  View& view_;
  Link& link_;
  PortLister& lister_;
  Timer& scanTimer_;
  RequestSender& sender_;
  Receiver& receiver_;
  std::vector<std::string> ports_;
  std::string portText_;
  std::uint8_t scanDone_ = 0;
  std::uint8_t scanPortIndex_ = 0;
  std::uint8_t scanGauge_ = 0;
};

}  // namespace corvane
