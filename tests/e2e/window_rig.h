// The real window and its controller on the real serial link, scanning exactly the given ports,
// with a recording sound player and scripted boxes; plus the simulated model-1 controller and
// update files packed for it.
#pragma once
#include <QString>
#include <QTemporaryDir>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app_controller.h"
#include "fakes.h"
#include "main_window.h"
#include "mt_random.h"
#include "packer.h"
#include "port_list.h"
#include "process_stats.h"
#include "pty_device.h"
#include "scripted_dialogs.h"
#include "serial_link.h"
#include "wait.h"

class QPushButton;

namespace corvane::e2e {

using namespace std::chrono_literals;
using testing::DescriptorCount;
using testing::ProcessCpuSeconds;
using testing::ThreadCount;
using testing::WaitFor;

// Boxes answer from the script; `whileOpen` runs once while the next box is open, standing in for
// whatever happens before the user answers it.
class HookedDialogs : public app::testing::ScriptedDialogs {
 public:
  std::function<void()> whileOpen;

  BoxAnswer ShowBox(QWidget* parent, const QString& text, const QString& caption, BoxButtons buttons) override {
    if (whileOpen) std::exchange(whileOpen, nullptr)();
    return ScriptedDialogs::ShowBox(parent, text, caption, buttons);
  }
};

// Counts the frames the link hands to the window thread and passes them on.
class CountingSink : public FrameSink {
 public:
  explicit CountingSink(FrameSink& next) : next_(next) {}
  std::size_t frames = 0;

  void OnFrame(const std::uint8_t* frame, std::size_t length) override {
    ++frames;
    next_.OnFrame(frame, length);
  }

 private:
  FrameSink& next_;
};

class WindowRig {
 public:
  explicit WindowRig(std::vector<std::string> ports);
  ~WindowRig();
  WindowRig(const WindowRig&) = delete;
  WindowRig& operator=(const WindowRig&) = delete;

  ChosenPortLister ports;
  SerialLink link;
  testing::EventLog log;
  testing::FakeSound sound{log};
  MersenneRandom random;
  HookedDialogs dialogs;
  app::MainWindow window;
  app::AppController app;
  CountingSink sink{app};
  std::vector<int> gauge;  // every value the gauge took, in order

  void Click(QPushButton* button);
  QString Status() const;
  QString Memo() const;
  bool BoxShown(const QString& text) const;
  bool Disconnected() const;  // the state DISCONNECT leaves
};

// Model 1 with bootloader 5, firmware 42, data version 3, program memory intact and the data
// memory check failed.
SimConfig ModelOne();

// Starts a simulated controller; null (and `error` set) when the pseudo-terminal fails.
std::unique_ptr<PtyController> StartDevice(const SimConfig& config, std::string* error);

// A packed update file written into `dir`; `payloadSize` bytes of random content.
struct UpdateFile {
  QString path;
  std::vector<std::uint8_t> bytes;  // the file as written
  std::uint32_t closingValue = 0;
};
UpdateFile WriteFirmware(const QTemporaryDir& dir, std::uint16_t version, std::size_t payloadSize);
UpdateFile WriteDataMap(const QTemporaryDir& dir, std::uint16_t dataVersion, std::size_t payloadSize);

}  // namespace corvane::e2e
