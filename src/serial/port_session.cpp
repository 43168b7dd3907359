#include "port_session.h"

#include "frame_trace.h"
#include "open_cause.h"
#include "trace.h"
#include "port_access.h"
#include "port_holders.h"

namespace corvane {

PortSession::PortSession(const PortChannel& channel)
    : channel_(channel), port_(this), reader_(port_, channel, [this] { WriteSends(); }) {}

PortSession::~PortSession() { Close(); }

OpenFailure PortSession::Open(const std::string& path) {
  if (OpenFailure checked = CheckPortBeforeOpen(path); checked.Failed()) return checked;
  if (!lock_.Acquire(path)) return lock_.Failure();
  port_.setPortName(QString::fromStdString(path));
  port_.setBaudRate(QSerialPort::Baud115200);
  port_.setDataBits(QSerialPort::Data8);
  port_.setParity(QSerialPort::NoParity);
  port_.setStopBits(QSerialPort::OneStop);
  port_.setFlowControl(QSerialPort::NoFlowControl);
  if (!port_.open(QIODevice::ReadWrite)) {
    OpenFailure failure = ClassifyQtOpenError(path, port_.error(), port_.errorString(), FindPortHolders(path).holders);
    lock_.Release();
    return failure;
  }
  const OpenResult configured = Configure();
  if (configured != OpenResult::kOk) {
    Close();
    return SettingsFailure(configured);
  }
  connect(&port_, &QSerialPort::bytesWritten, this, [this](qint64 written) { unconfirmedBytes_ -= written; });
  connect(&port_, &QSerialPort::errorOccurred, this, &PortSession::OnError);
  return {};
}

OpenResult PortSession::Configure() {
  // Devices without modem lines (pseudo-terminals) refuse these; that is not a failure.
  port_.setDataTerminalReady(false);
  port_.setRequestToSend(false);
  RequestLowLatency(port_.handle());
  pseudoTerminal_ = IsPseudoTerminal(port_.handle());
  const OpenResult settings = CheckLineSettings(port_.handle());
  if (settings != OpenResult::kOk) return settings;
  port_.clear(QSerialPort::Input);  // bytes sent before the open are not ours
  port_.clearError();
  return OpenResult::kOk;
}

void PortSession::WriteSends() {
  channel_.handOver->TakeSends(sends_);
  sends_.ForEach([this](const std::uint8_t* data, std::size_t length) { Write(data, length); });
}

void PortSession::Write(const std::uint8_t* data, std::size_t length) {
  if (!port_.isOpen() || channel_.handOver->Cancelled()) return;
  const bool busy = WriteInProgress();
  if (!busy && !pseudoTerminal_) port_.clear(QSerialPort::Output);
  const qint64 queued = port_.write(reinterpret_cast<const char*>(data), static_cast<qint64>(length));
  if (queued > 0) unconfirmedBytes_ += queued;
  // An idle port writes at once; a busy one takes the new bytes after the old as it drains.
  if (!busy && port_.isOpen()) port_.flush();
  if (channel_.probe && queued > 0) channel_.probe->WriteIssued(data, static_cast<std::size_t>(queued));
  if (FrameTrace().isDebugEnabled())
    qCDebug(FrameTrace).noquote() << "out" << QString::fromStdString(FrameTraceText(data, length));
}

bool PortSession::WriteInProgress() const {
  return unconfirmedBytes_ > 0 || port_.bytesToWrite() > 0 ||
         (!pseudoTerminal_ && DriverOutputQueued(port_.handle()) > 0);
}

// Closing the port also quiets the reader: a closed port announces nothing.
void PortSession::Close() {
  disconnect(&port_, nullptr, this, nullptr);
  if (port_.isOpen()) port_.close();
  lock_.Release();
  unconfirmedBytes_ = 0;
}

// A device that went away (pseudo-terminal's other side closed, USB adapter pulled) makes the
// port report errors at once, again and again. Close it on the first read, resource or write
// error: the link then stays open but silent to the session, and the response timer drops it as
// it would any silent device.
void PortSession::OnError(QSerialPort::SerialPortError error) {
  if (error == QSerialPort::ReadError || error == QSerialPort::ResourceError || error == QSerialPort::WriteError)
    Close();
}

}  // namespace corvane
