// What a port's bytes go through between the link and its descriptor when the descriptor carries
// more than the line's bytes (a Telnet stream). The port's serving thread decodes every read
// and encodes every write under the port's lock, one call at a time.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvane {

class ByteCodec {
 public:
  virtual ~ByteCodec() = default;
  // Bytes read: the line's own bytes are appended to `data`, anything the peer must be answered
  // with to `reply` (written before any later write).
  virtual void Decode(const std::uint8_t* input, std::size_t length, std::vector<std::uint8_t>& data,
                      std::vector<std::uint8_t>& reply) = 0;
  // Bytes to send, appended to `out`.
  virtual void Encode(const std::uint8_t* data, std::size_t length, std::vector<std::uint8_t>& out) = 0;
};

}  // namespace corvane
