#include "hotplug_port_lister.h"

#include <iostream>

#include "system_port.h"
#include "trace.h"

namespace corvane {

HotplugPortLister::HotplugPortLister(std::ostream* trace)
    : HotplugPortLister(trace, SystemSerialPortNames, OpenPortChangeWatch()) {}

HotplugPortLister::HotplugPortLister() : HotplugPortLister(&std::cout) {}

HotplugPortLister::HotplugPortLister(std::ostream* trace, Enumerator enumerate, std::unique_ptr<PortChangeWatch> watch)
    : trace_(trace), enumerate_(std::move(enumerate)), watch_(std::move(watch)) {
  if (watch_) {
    // Draining as notices come keeps the socket from overflowing while nobody asks for the list.
    notifier_ = std::make_unique<QSocketNotifier>(watch_->Descriptor(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, notifier_.get(), [this] { TakeChanges(); });
    qCDebug(ScanTrace) << "port list: kept current from" << watch_->Source() << "notices";
  } else {
    qCDebug(ScanTrace) << "port list: no hotplug notices here; enumerated at every step";
  }
}

HotplugPortLister::~HotplugPortLister() = default;

void HotplugPortLister::TakeChanges() {
  if (watch_->TakeChanges()) stale_ = true;
}

std::vector<std::string> HotplugPortLister::ListSerialPorts() {
  // Notices are taken before the list is read: one that comes in meanwhile stays pending, and the
  // next call reads the list again.
  if (watch_) TakeChanges();
  if (!watch_ || stale_) {
    stale_ = false;
    ports_ = enumerate_();
    if (watch_) qCDebug(ScanTrace) << "port list changed:" << ports_.size() << "ports";
  }
  if (trace_) {
    for (const auto& name : ports_) *trace_ << name << '\n';
    trace_->flush();
  }
  return ports_;
}

}  // namespace corvane
