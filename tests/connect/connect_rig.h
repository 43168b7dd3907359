// Helpers for the connect tests: identification replies built as a device builds them, readable
// failure output for strings, and a whole session wired to the recording fakes.
#pragma once
#include <QTest>
#include <array>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "bytes.h"
#include "fakes.h"
#include "frame.h"
#include "scrambler.h"
#include "session.h"

namespace QTest {
template <>
inline char* toString(const std::string& s) {
  return qstrdup(s.c_str());
}
template <>
inline char* toString(const std::vector<std::string>& lines) {
  std::string joined;
  for (const auto& line : lines) joined += "[" + line + "]";
  return qstrdup(joined.c_str());
}
}  // namespace QTest

namespace corvane::testing {

// A sealed IdentifyReply whose record starts with `recordStart` (the rest zero unless `tail` is
// set), scrambled under fixed seed bytes. `breakRecord` flips one payload bit and reseals the
// frame, so only the record CRC fails.
inline Frame IdentifyReply(const std::vector<std::uint8_t>& recordStart, bool breakRecord = false,
                           std::uint8_t tail = 0) {
  Frame f{};
  WriteBe16(&f[kTypeOffset], kIdentifyReply);
  WriteBe16(&f[kSequenceOffset], 0x2C);
  for (std::size_t i = kSeedOffset; i < kSeedOffset + kSeedSize; ++i) f[i] = static_cast<std::uint8_t>(0x35 + 29 * i);
  std::array<std::uint8_t, 32> record{};
  record.fill(tail);
  std::size_t i = 0;
  for (std::uint8_t b : recordStart) record[i++] = b;
  ScrambleRecord(f.data(), record.data());
  if (breakRecord) f[kRecordOffset + 6] ^= 0x01;
  SealFrame(f.data());
  return f;
}

// A sealed 64-byte device frame of the given type code with `verdict` in the verdict byte (which a
// BlockRequest reads as the high byte of its interval).
inline Frame DeviceFrame(std::uint16_t type, std::uint8_t verdict = 0) {
  Frame f{};
  WriteBe16(&f[kTypeOffset], type);
  f[kVerdictOffset] = verdict;
  SealFrame(f.data());
  return f;
}

class ScriptedLister : public FakePortLister {
 public:
  std::string error;  // when set, listing throws this
  std::vector<std::string> ListSerialPorts() override {
    if (!error.empty()) throw std::runtime_error(error);
    return FakePortLister::ListSerialPorts();
  }
};

struct SessionRig : FakeWindow {
  ScriptedLister lister;
  FakeSound sound{log};
  FakeRandom random;
  Session session{SessionPorts{view, link, lister, timer1, timer2, sound, random}};

  // The device on `port` answers the identification request within the wait; the reply itself
  // is dispatched by Deliver(), after the scan step has returned, as on the real link.
  std::string devicePort;
  Frame deviceReply{};
  std::optional<Frame> pending;

  SessionRig() {
    link.duringWait = [this] {
      if (!devicePort.empty() && link.openAttempts.back() == devicePort) {
        link.frameReceived = true;
        pending = deviceReply;
      }
    };
  }
  void DeviceOn(const std::string& port, const Frame& reply) {
    devicePort = port;
    deviceReply = reply;
  }
  void Deliver() {
    if (!pending) return;
    const Frame f = *pending;
    pending.reset();
    session.OnFrame(f.data(), f.size());
  }
  // CONNECT on a single port with a device that answers `reply`, reply dispatched.
  void ConnectTo(const Frame& reply, const std::string& port = "/dev/ttyACM0") {
    lister.ports = {port};
    DeviceOn(port, reply);
    session.Connect();
    Deliver();
  }
};

}  // namespace corvane::testing
