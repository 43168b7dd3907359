// --demo: a simulated controller on a pseudo-terminal inside this process, and sample update
// files for it in a temporary folder that the file dialog opens in. Both go away with the object.
#pragma once
#include <QString>
#include <QTemporaryDir>
#include <memory>
#include <string>

#include "sim_config.h"

namespace corvane {
class PtyController;
}  // namespace corvane

namespace corvane::app {

class Demo {
 public:
  // The controller the demo plays: model 1 ("Quarnel Basis"), bootloader 3, firmware 42,
  // data version 3, both memory checks intact.
  static SimConfig DeviceConfig();

  // Starts the controller and writes the samples; throws std::runtime_error when either fails.
  Demo();
  ~Demo();
  Demo(const Demo&) = delete;
  Demo& operator=(const Demo&) = delete;

  // The port the scan is to try.
  std::string PortPath() const;
  // The folder holding the sample files.
  QString Folder() const { return folder_.path(); }

 private:
  void WriteSamples();

  QTemporaryDir folder_;
  std::unique_ptr<PtyController> device_;
};

}  // namespace corvane::app
