// The serial link: one port at a time, each with its own link thread that reads and writes it.
//
// Created on the window thread, which it serves: OpenPort, ClosePort, Send and the FrameReceived
// calls come from there, and every accepted frame is dispatched there (to the FrameSink) through
// the port's hand-over (hand_over.h). ClosePort never waits for the link thread, so it may be
// called from inside a dispatch.
#pragma once
#include <QObject>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "frame_flag.h"
#include "hand_over.h"
#include "link.h"
#include "timing_probe.h"

namespace corvane {

class LinkThread;

class SerialLink : public QObject, public Link {
 public:
  explicit SerialLink(QObject* parent = nullptr);
  // Closes the port; waits only for link threads that are closing their ports, never for a
  // dispatch. A frame handed over and not yet dispatched is dropped.
  ~SerialLink() override;

  SerialLink(const SerialLink&) = delete;
  SerialLink& operator=(const SerialLink&) = delete;

  // Where checked frames go; may be null (frames are then dropped after FrameReceived is set).
  void SetFrameSink(FrameSink* sink) { sink_ = sink; }
  // Observes the reads and writes of the ports opened from now on (null: none). Only while no
  // port is open; returns false, changing nothing, while one is. The probe must stay valid until
  // the link is destroyed, since threads of closed ports may still be ending.
  bool SetTimingProbe(TimingProbe* probe);

  // `name` is a path (opened as given) or a device name under /dev. Blocks until the port is
  // open on its link thread or the open failed.
  OpenResult OpenPort(const std::string& name) override;
  OpenFailure LastOpenFailure() const override { return lastFailure_; }
  // A chunk handed over and not yet dispatched is dropped, and so is a send not yet written.
  void ClosePort() override;
  bool IsOpen() const override { return open_ != nullptr; }
  void Send(const std::uint8_t* data, std::size_t length) override;
  void ClearFrameReceived() override { frameReceived_->Clear(); }
  bool WaitFrameReceived(std::chrono::milliseconds limit) override { return frameReceived_->Wait(limit); }

 private:
  void Dispatch(HandOver& handOver);
  void Reap(LinkThread* thread);

  FrameSink* sink_ = nullptr;
  TimingProbe* probe_ = nullptr;
  const std::shared_ptr<FrameFlag> frameReceived_;
  OpenFailure lastFailure_;
  LinkThread* open_ = nullptr;  // the thread of the open port, if any
  std::shared_ptr<HandOver> handOver_;
  std::vector<std::unique_ptr<LinkThread>> threads_;  // the open one and those still ending
};

}  // namespace corvane
