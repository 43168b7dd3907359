// The Telnet byte stream (RFC 854/855) of a connection in BINARY mode both ways: every 0xFF data
// byte travels doubled, and the peer's commands, option requests and subnegotiations travel inside
// the same stream, marked by IAC (0xFF). The decoder takes them out of the data at any split
// across reads and reports them; the data bytes alone go on.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace corvane::telnet {

inline constexpr std::uint8_t kSe = 240;    // end of subnegotiation
inline constexpr std::uint8_t kSb = 250;    // start of subnegotiation
inline constexpr std::uint8_t kWill = 251;
inline constexpr std::uint8_t kWont = 252;
inline constexpr std::uint8_t kDo = 253;
inline constexpr std::uint8_t kDont = 254;
inline constexpr std::uint8_t kIac = 255;

inline constexpr std::uint8_t kOptionBinary = 0;
inline constexpr std::uint8_t kOptionEcho = 1;
inline constexpr std::uint8_t kOptionSuppressGoAhead = 3;
inline constexpr std::uint8_t kOptionComPort = 44;

// A subnegotiation longer than this is not one the link uses: its bytes past the limit are dropped
// (it is still reported, cut short), so a peer cannot make the decoder grow without bound.
inline constexpr std::size_t kMaxSubnegotiation = 64;

// What the peer sent besides data.
class TelnetEvents {
 public:
  virtual ~TelnetEvents() = default;
  // WILL, WONT, DO or DONT with its option.
  virtual void OnOption(std::uint8_t verb, std::uint8_t option) = 0;
  // IAC SB <body> IAC SE: the body, its doubled 0xFF bytes undoubled (body[0] is the option).
  virtual void OnSubnegotiation(const std::uint8_t* body, std::size_t length) = 0;
  // Any other command (NOP, GA, ...); nothing follows it in the stream.
  virtual void OnCommand(std::uint8_t command) { (void)command; }
};

// Appends `data` to `out` with every 0xFF doubled.
void EncodeData(const std::uint8_t* data, std::size_t length, std::vector<std::uint8_t>& out);

class TelnetDecoder {
 public:
  explicit TelnetDecoder(TelnetEvents& events) : events_(events) {}
  // Appends the data bytes of `input` to `data`; reports everything else to the events, in
  // stream order. A command cut by the end of `input` is finished by the next call.
  void Decode(const std::uint8_t* input, std::size_t length, std::vector<std::uint8_t>& data);

 private:
  enum class State { kData, kAfterIac, kOption, kSub, kSubAfterIac };
  TelnetEvents& events_;
  State state_ = State::kData;
  std::uint8_t verb_ = 0;
  std::vector<std::uint8_t> sub_;
};

}  // namespace corvane::telnet
