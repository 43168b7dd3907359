// The serial link: one port at a time, served by the OS layer's I/O thread (port_io.h).
//
// The path of one frame: the serving thread reads what is queued (PortIoService), the reader
// joins pieces into frames and checks them (PortReader, FrameJoiner, CheckFrame), raises
// FrameReceived and hands the frames over to the window thread, which dispatches them to the
// FrameSink one at a time; a reply sent from a dispatch is written on the window thread at once
// (non-blocking; what the driver cannot take is finished by the serving thread), and the port
// reads on once the dispatch has returned.
//
// Created on the window thread, which it serves: OpenPort, ClosePort, Send and the FrameReceived
// calls come from there. ClosePort never waits for the serving thread, so it may be called from
// inside a dispatch.
#pragma once
#include <QObject>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "frame_flag.h"
#include "link.h"
#include "timing_probe.h"

namespace corvane {

class PortIo;
class PortIoService;
class PortReader;
class JoinTrace;

class SerialLink : public QObject, public Link {
 public:
  // Ports are served by `service`; links of a gang share one (one I/O thread for all ports).
  explicit SerialLink(std::shared_ptr<PortIoService> service, QObject* parent = nullptr);
  explicit SerialLink(QObject* parent = nullptr);  // with a service of its own
  // Closes the port. A frame handed over and not yet dispatched is dropped.
  ~SerialLink() override;

  SerialLink(const SerialLink&) = delete;
  SerialLink& operator=(const SerialLink&) = delete;

  // Where checked frames go; may be null (frames are then dropped after FrameReceived is set).
  void SetFrameSink(FrameSink* sink) { sink_ = sink; }
  // Observes the reads and writes of the ports opened from now on (null: none). Only while no
  // port is open; returns false, changing nothing, while one is. The probe must stay valid until
  // the link is destroyed.
  bool SetTimingProbe(TimingProbe* probe);

  // `name` is a path (opened as given) or a device name under /dev.
  OpenResult OpenPort(const std::string& name) override;
  OpenFailure LastOpenFailure() const override { return lastFailure_; }
  // A frame handed over and not yet dispatched is dropped, and so is a send not yet written.
  void ClosePort() override;
  // A port that vanished stays open to the session (it is only silent) until ClosePort.
  bool IsOpen() const override { return io_ != nullptr; }
  void Send(const std::uint8_t* data, std::size_t length) override;
  void ClearFrameReceived() override { frameReceived_->Clear(); }
  bool WaitFrameReceived(std::chrono::milliseconds limit) override { return frameReceived_->Wait(limit); }

 private:
  void Dispatch(const std::shared_ptr<PortReader>& reader);
  void Vanished(const std::shared_ptr<PortReader>& reader, const std::string& cause);

  // What the serving thread reaches the link through: a call of the reader's may still be running
  // there when the link is destroyed, so it finds the link gone instead of dangling.
  struct Anchor {
    explicit Anchor(SerialLink* l) : link(l) {}
    std::mutex mutex;
    SerialLink* link;
  };

  std::shared_ptr<PortIoService> service_;
  const std::shared_ptr<Anchor> anchor_;
  FrameSink* sink_ = nullptr;
  TimingProbe* probe_ = nullptr;
  const std::shared_ptr<FrameFlag> frameReceived_;
  std::shared_ptr<JoinTrace> joinTrace_;
  OpenFailure lastFailure_;
  std::string name_;
  std::unique_ptr<PortIo> io_;  // the open port, if any
  std::shared_ptr<PortReader> reader_;
  // Sends made during a dispatch, written as it returns to the port open then (a send followed by
  // ClosePort in the same dispatch is never written).
  bool dispatching_ = false;
  std::vector<std::uint8_t> held_;
  std::vector<std::size_t> heldEnds_;
};

}  // namespace corvane
