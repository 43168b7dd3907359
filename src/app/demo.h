// --demo: a simulated controller on a pseudo-terminal inside this process, and sample update
// files for it in a temporary folder that the file dialog opens in. Both go away with the object.
#pragma once
#include <QString>
#include <QTemporaryDir>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "sim_config.h"

namespace corvane {
class PtyController;
}  // namespace corvane

namespace corvane::app {

class Demo {
 public:
  // The line rate of a real controller: a block and its request take about 6.9 ms.
  static constexpr std::uint32_t kLineBaud = 115200;

  // The controller the demo plays: model 1 ("Quarnel Basis"), bootloader 3, firmware 42,
  // data version 3, both memory checks intact, answering at kLineBaud.
  static SimConfig DeviceConfig();

  // 512 blocks: an update takes about 3.6 s at kLineBaud, the pace of a real controller.
  static constexpr std::size_t kDefaultSampleSize = 32 * 1024;

  // Starts the controller and writes the samples, each `sampleSize` bytes in all (a whole
  // number of blocks, at least 1 KiB); throws std::runtime_error when either fails.
  explicit Demo(std::size_t sampleSize = kDefaultSampleSize);
  ~Demo();
  Demo(const Demo&) = delete;
  Demo& operator=(const Demo&) = delete;

  // The port the scan is to try.
  std::string PortPath() const;
  // The folder holding the sample files.
  QString Folder() const { return folder_.path(); }
  // The simulated controller, for watching what it received.
  PtyController& Device() { return *device_; }

 private:
  void WriteSamples(std::size_t sampleSize);

  QTemporaryDir folder_;
  std::unique_ptr<PtyController> device_;
};

}  // namespace corvane::app
