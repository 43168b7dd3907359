// A pseudo-terminal for the link tests. The test plays the device on the master side; the slave
// is kept open here in raw mode, so it neither echoes nor hangs up when the link closes it.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvane::testing {

class Pty {
 public:
  Pty();
  ~Pty();
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  bool ok() const { return master_ >= 0 && slave_ >= 0; }
  const std::string& SlavePath() const { return slavePath_; }

  // Device side: one write call with all the bytes.
  void Write(const std::vector<std::uint8_t>& bytes);
  // Device side: what the link wrote, until `count` bytes came or `timeoutMs` passed.
  std::vector<std::uint8_t> Read(std::size_t count, int timeoutMs);
  // The device vanishes.
  void CloseMaster();

  // Bytes that reached the slave side and are not yet read by anyone there. Polling the slave
  // first makes the kernel deliver whatever is still on its way.
  std::size_t QueuedAtSlave() const;
  // Blocks until bytes are queued at the slave side or `timeoutMs` passed.
  bool WaitQueuedAtSlave(int timeoutMs) const;

 private:
  int master_ = -1;
  int slave_ = -1;
  std::string slavePath_;
};

}  // namespace corvane::testing
