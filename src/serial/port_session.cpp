#include "port_session.h"

#include "chunk_reader.h"
#include "timing_probe.h"

namespace corvane {

PortSession::PortSession(std::shared_ptr<HandOver> handOver, std::shared_ptr<FrameFlag> frameReceived,
                         std::function<void()> postDispatch)
    : handOver_(std::move(handOver)),
      frameReceived_(std::move(frameReceived)),
      postDispatch_(std::move(postDispatch)),
      port_(this) {}

PortSession::~PortSession() { Close(); }

OpenResult PortSession::Open(const std::string& path) {
  if (!lock_.Acquire(path)) return OpenResult::kOpenFailed;
  port_.setPortName(QString::fromStdString(path));
  port_.setBaudRate(QSerialPort::Baud115200);
  port_.setDataBits(QSerialPort::Data8);
  port_.setParity(QSerialPort::NoParity);
  port_.setStopBits(QSerialPort::OneStop);
  port_.setFlowControl(QSerialPort::NoFlowControl);
  if (!port_.open(QIODevice::ReadWrite)) {
    lock_.Release();
    return OpenResult::kOpenFailed;
  }
  const OpenResult configured = Configure();
  if (configured != OpenResult::kOk) {
    Close();
    return configured;
  }
  reader_ = new ChunkReader(port_, handOver_, frameReceived_, postDispatch_, this);
  connect(&port_, &QSerialPort::bytesWritten, this, [this](qint64 written) { unconfirmedBytes_ -= written; });
  connect(&port_, &QSerialPort::errorOccurred, this, &PortSession::OnError);
  return OpenResult::kOk;
}

OpenResult PortSession::Configure() {
  // Devices without modem lines (pseudo-terminals) refuse these; that is not a failure.
  port_.setDataTerminalReady(false);
  port_.setRequestToSend(false);
  RequestLowLatency(port_.handle());
  const OpenResult settings = CheckLineSettings(port_.handle());
  if (settings != OpenResult::kOk) return settings;
  port_.clear(QSerialPort::Input);  // bytes sent before the open are not ours
  port_.clearError();
  return OpenResult::kOk;
}

void PortSession::Write(const QByteArray& bytes) {
  if (!port_.isOpen() || handOver_->Cancelled()) return;
  const bool busy = WriteInProgress();
  if (!busy) port_.clear(QSerialPort::Output);
  const qint64 queued = port_.write(bytes);
  if (queued > 0) unconfirmedBytes_ += queued;
  // An idle port writes at once; a busy one takes the new bytes after the old as it drains.
  if (!busy && port_.isOpen()) port_.flush();
  if (TimingProbe* probe = CurrentTimingProbe(); probe && queued > 0)
    probe->WriteIssued(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(queued));
}

bool PortSession::WriteInProgress() const {
  return unconfirmedBytes_ > 0 || port_.bytesToWrite() > 0 || DriverOutputQueued(port_.handle()) > 0;
}

void PortSession::Close() {
  if (reader_) {
    delete reader_;
    reader_ = nullptr;
  }
  disconnect(&port_, nullptr, this, nullptr);
  if (port_.isOpen()) port_.close();
  lock_.Release();
  unconfirmedBytes_ = 0;
}

// A device that went away (pseudo-terminal's other side closed, USB adapter pulled) makes the
// port fail every read at once, again and again. Close it on the first such error: the link then
// stays silent and the response timer drops it as it would any silent device.
void PortSession::OnError(QSerialPort::SerialPortError error) {
  if (error == QSerialPort::ReadError || error == QSerialPort::ResourceError || error == QSerialPort::WriteError)
    Close();
}

}  // namespace corvane
