#include "scan.h"

#include <chrono>

#include "texts.h"

namespace corvane {

ConnectionScan::ConnectionScan(View& view, Link& link, PortLister& lister, Timer& scanTimer, RequestSender& sender,
                               Receiver& receiver)
    : view_(view),
      link_(link),
      lister_(lister),
      scanTimer_(scanTimer),
      sender_(sender),
      receiver_(receiver),
      portText_(texts::kPortListStart) {}

void ConnectionScan::ListSerialPorts() {
  ports_ = lister_.ListSerialPorts();
  if (!ports_.empty()) portText_ = ports_.front();
  view_.ShowPorts(ports_, portText_);
}

void ConnectionScan::SelectPort(std::size_t index) {
  if (index >= ports_.size() || ports_[index] == portText_) return;
  portText_ = ports_[index];
  view_.ShowPorts(ports_, portText_);
}

void ConnectionScan::ScanTick(bool first) {
  if (first) scanDone_ = 0;
  if (scanDone_ == 0 && ScanStep()) scanDone_ = 1;
}

void ConnectionScan::ShowOpenFailure(OpenResult result) {
  switch (result) {
    case OpenResult::kOk:
      return;
    case OpenResult::kOpenFailed:
      view_.SetStatus(texts::kOpenFailed);
      return;
    case OpenResult::kReadSettingsFailed:
      view_.SetStatus(texts::kReadSettingsFailed);
      return;
    case OpenResult::kApplySettingsFailed:
      view_.SetStatus(texts::kApplySettingsFailed);
      return;
    case OpenResult::kTimeoutsFailed:
      view_.SetStatus(texts::kTimeoutsFailed);
      return;
  }
}

bool ConnectionScan::ScanStep() {
  // CONNECT after a find that produced no report leaves the found port open; close it so that
  // its handle and link thread are not lost when the next port is opened.
  if (link_.IsOpen()) link_.ClosePort();

  ListSerialPorts();

  scanGauge_ = static_cast<std::uint8_t>(scanGauge_ + 10);
  if (scanGauge_ > 100) scanGauge_ = 0;
  view_.SetGauge(scanGauge_);
  view_.SetStatus(texts::kScanning);

  if (scanPortIndex_ >= ports_.size()) scanPortIndex_ = 0;
  SelectPort(scanPortIndex_);  // with no port at all the edit text is opened as it stands

  const OpenResult opened = link_.OpenPort(portText_);
  OpenFailure failure = opened == OpenResult::kOk ? OpenFailure{} : link_.LastOpenFailure();
  failure.result = opened;
  view_.ShowOpenAttempt(portText_, failure);
  if (opened != OpenResult::kOk) {
    ShowOpenFailure(opened);  // stays visible until the next step
    ++scanPortIndex_;
    return false;
  }

  link_.ClearFrameReceived();
  receiver_.ClearDeviceMarked();
  sender_.SendIdentifyRequest();

  // Any valid frame counts; its dispatch runs after this step has returned.
  if (link_.WaitFrameReceived(std::chrono::milliseconds(50))) {
    scanTimer_.Stop();
    link_.ClearFrameReceived();
    view_.SetGauge(0);
    view_.SetStatus(texts::kConnected);
    return true;  // the port stays open and the index stays on it
  }

  ++scanPortIndex_;
  link_.ClearFrameReceived();
  view_.SetBackground(Colour::kButtonFace);
  link_.ClosePort();
  return false;
}

}  // namespace corvane
