#include "session.h"

#include <algorithm>

#include "device_report.h"
#include "frame.h"
#include "receiver.h"
#include "scan.h"

namespace corvane {

Session::Session(const SessionPorts& ports)
    : ports_(ports),
      notices_(ports.sound),
      disconnector_(std::make_unique<Disconnector>(ports.view, ports.scanTimer, ports.responseTimer, ports.link)),
      sender_(std::make_unique<RequestSender>(ports.link, ports.responseTimer, ports.view, *disconnector_)),
      transfer_(std::make_unique<BlockTransfer>(ports.view, ports.responseTimer, *sender_, *disconnector_, notices_,
                                                ports.random)),
      report_(std::make_unique<DeviceReport>(ports.view, device_, *disconnector_)),
      receiver_(std::make_unique<Receiver>(ports.view, *report_, *transfer_)),
      scan_(
          std::make_unique<ConnectionScan>(ports.view, ports.link, ports.ports, ports.scanTimer, *sender_, *receiver_)),
      fileUpdate_(std::make_unique<FileUpdate>(ports.view, device_, *transfer_, ports.link, *disconnector_,
                                               ports.files ? *ports.files : disk_)) {}

Session::~Session() = default;

void Session::FormCreate() { scan_->ListSerialPorts(); }

void Session::Connect() {
  // Nothing of an earlier device may survive into the next identification.
  device_.ConnectedDeviceType = 0;
  device_.ConnectedFirmwareVersion = 0;
  device_.ConnectedDataVersion = 0;
  transfer_->Abandon();
  scan_->ScanTick(true);
  ports_.scanTimer.Start(100);
}

void Session::Disconnect() { disconnector_->ResetToDisconnected(); }

void Session::UpdateFirmware() { fileUpdate_->UpdateFirmware(); }

void Session::WriteDataMap() { fileUpdate_->WriteDataMap(); }

void Session::ScanTimerFired() { scan_->ScanTick(false); }

void Session::ResponseTimerFired() { sender_->ResendRequest(); }

void Session::SoundTimerFired() { notices_.Tick(); }

void Session::FormClose() {
  ports_.link.ClosePort();
  ports_.responseTimer.Stop();
}

void Session::OnFrame(const std::uint8_t* frame, std::size_t length) {
  ports_.responseTimer.Stop();
  // The handlers read fixed offsets up to byte 63 whatever the length; a shorter chunk is
  // padded with zeros so that none of them reads past what was received.
  Frame padded{};
  std::copy_n(frame, std::min(length, padded.size()), padded.begin());
  receiver_->DispatchFrame(padded.data());
}

}  // namespace corvane
