// The program-wide state of one connection point (a window or the command-line updater) and its
// event handlers. Everything here runs on the window thread. An exception leaves a handler where
// it was thrown; whoever runs the handlers catches it (the session host's one guard).
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

#include "block_transfer.h"
#include "completion_notices.h"
#include "device_state.h"
#include "disconnector.h"
#include "file_update.h"
#include "link.h"
#include "scrambler.h"
#include "sender.h"
#include "timer.h"
#include "update_file_source.h"
#include "view.h"

namespace corvane {

class DeviceReport;
class Receiver;
class ConnectionScan;

struct SessionPorts {
  View& view;
  Link& link;
  PortLister& ports;
  Timer& scanTimer;      // Timer1
  Timer& responseTimer;  // Timer2
  SoundPlayer& sound;
  RandomSource& random;  // end-frame random bytes
  UpdateFileSource* files = nullptr;  // where the update buttons read files; none: from disk on every press
};

class Session : public FrameSink {
 public:
  explicit Session(const SessionPorts& ports);
  ~Session() override;

  void FormCreate();          // fill the port list
  void Connect();             // Button1Click
  void Disconnect();          // Button3Click
  void UpdateFirmware();      // Button2Click
  void WriteDataMap();        // Button4Click
  void ScanTimerFired();      // Timer1Timer
  void ResponseTimerFired();  // Timer2Timer
  void SoundTimerFired();     // Timer3Timer
  void FormClose();           // ClosePort, then stop Timer2

  // A checked frame from the link: stop Timer2, then DispatchFrame.
  void OnFrame(const std::uint8_t* frame, std::size_t length) override;

  const DeviceState& Device() const { return device_; }
  const BlockTransfer& Transfer() const { return *transfer_; }
  const RequestSender& Sender() const { return *sender_; }
  const ConnectionScan& Scan() const { return *scan_; }
  const Receiver& Receive() const { return *receiver_; }
  const CompletionNotices& Notices() const { return notices_; }

 private:
  SessionPorts ports_;
  DiskFileSource disk_;
  DeviceState device_;
  CompletionNotices notices_;
  std::unique_ptr<Disconnector> disconnector_;
  std::unique_ptr<RequestSender> sender_;
  std::unique_ptr<BlockTransfer> transfer_;
  std::unique_ptr<DeviceReport> report_;
  std::unique_ptr<Receiver> receiver_;
  std::unique_ptr<ConnectionScan> scan_;
  std::unique_ptr<FileUpdate> fileUpdate_;
};

}  // namespace corvane
