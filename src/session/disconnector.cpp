#include "disconnector.h"

#include "texts.h"

namespace corvane {

Disconnector::Disconnector(View& view, Timer& scanTimer, Timer& responseTimer, Link& link)
    : view_(view), scanTimer_(scanTimer), responseTimer_(responseTimer), link_(link) {}

void Disconnector::ResetToDisconnected() {
  ++resets_;
  view_.ClearMemo();
  responseTimer_.Stop();
  scanTimer_.Stop();
  view_.SetBackground(Colour::kButtonFace);
  link_.ClosePort();
  view_.SetStatus(texts::kDisconnected);
  view_.SetEnabled(Control::kConnect, true);
  view_.SetEnabled(Control::kUpdateFirmware, false);
  view_.SetEnabled(Control::kWriteDataMap, false);  // shown or hidden only by the device report
  view_.SetGauge(0);
}

}  // namespace corvane
