// The system's serial ports, enumerated only when a hotplug notice says they changed. Every call
// returns the same list as SystemPortLister would, and writes it to the trace stream the same way.
#pragma once
#include <QSocketNotifier>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "link.h"
#include "port_change_watch.h"

namespace corvane {

class HotplugPortLister : public PortLister {
 public:
  using Enumerator = std::function<std::vector<std::string>()>;

  // The system's ports (SystemSerialPortNames) with the best watch there is (OpenPortChangeWatch).
  // Each name listed goes to `trace` on a line of its own at every call, as SystemPortLister does;
  // a null `trace` keeps it quiet.
  explicit HotplugPortLister(std::ostream* trace);
  HotplugPortLister();
  // `enumerate` reads the list; without a `watch` it is read at every call. Create and use the
  // lister on one thread: its socket notifier drains the watch while that thread's event loop runs.
  HotplugPortLister(std::ostream* trace, Enumerator enumerate, std::unique_ptr<PortChangeWatch> watch);
  ~HotplugPortLister() override;

  std::vector<std::string> ListSerialPorts() override;

  // True when notices keep the list current, false when it is read at every call.
  bool Watching() const { return watch_ != nullptr; }

 private:
  void TakeChanges();

  std::ostream* trace_;
  Enumerator enumerate_;
  std::unique_ptr<PortChangeWatch> watch_;
  std::unique_ptr<QSocketNotifier> notifier_;
  bool stale_ = true;
  std::vector<std::string> ports_;
};

}  // namespace corvane
