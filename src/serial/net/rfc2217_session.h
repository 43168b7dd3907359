// The client side of RFC 2217 (Telnet COM-Port Control) on one connection, as plain logic over
// bytes and time: the Telnet options (BINARY both ways, COM-PORT-OPTION), the line settings of
// the link (115200 baud, 8 data bits, no parity, one stop bit, no flow control, DTR and RTS off)
// each checked against the server's acknowledgement, the receive queue purged; then, once open,
// the port's codec: data undoubled and freed of the server's commands, requests answered.
//
// The server's transmit queue is not purged before a frame, as a local port's is when empty:
// ser2net carries out a PURGE-DATA after the data that follows it in the stream has reached its
// device, so the purge throws away the very frame it was sent ahead of (and a local port's queue
// is only cleared when it is empty anyway).
//
// A server without modem lines on its device (ser2net on a pseudo-terminal) does not answer
// DTR and RTS: those answers are waited for only kModemLineGrace past the others.
#pragma once
#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "byte_codec.h"
#include "telnet_codec.h"

namespace corvane {

namespace rfc2217 {
inline constexpr std::uint8_t kSetBaudRate = 1;
inline constexpr std::uint8_t kSetDataSize = 2;
inline constexpr std::uint8_t kSetParity = 3;
inline constexpr std::uint8_t kSetStopSize = 4;
inline constexpr std::uint8_t kSetControl = 5;
inline constexpr std::uint8_t kPurgeData = 12;
inline constexpr std::uint8_t kServerOffset = 100;  // the server's answer to command C is C + 100

inline constexpr std::uint8_t kParityNone = 1;
inline constexpr std::uint8_t kStopSizeOne = 1;
inline constexpr std::uint8_t kControlNoFlow = 1;
inline constexpr std::uint8_t kControlDtrOff = 9;
inline constexpr std::uint8_t kControlRtsOff = 12;
inline constexpr std::uint8_t kPurgeReceive = 1;
}  // namespace rfc2217

class Rfc2217Session : public ByteCodec, private telnet::TelnetEvents {
 public:
  using Clock = std::chrono::steady_clock;
  static constexpr std::chrono::milliseconds kModemLineGrace{50};
  enum class Phase { kOptions, kSettings, kOpen, kRefused };

  Rfc2217Session() : decoder_(*this) {}

  // The option requests that begin the negotiation, appended to `out`.
  void Start(std::vector<std::uint8_t>& out);
  // Bytes from the server while negotiating: answers and the next requests go to `out`; line
  // data is discarded (the receive queue is purged on open anyway).
  void Feed(const std::uint8_t* input, std::size_t length, std::vector<std::uint8_t>& out, Clock::time_point now);
  // Time has passed: opens once the modem-line grace is over.
  void Advance(Clock::time_point now);
  // Until when the negotiation waits of its own accord (the grace), if it does.
  std::optional<Clock::time_point> WaitUntil() const { return graceEnd_; }

  Phase phase() const { return phase_; }
  // What the server refused or left unanswered, in words ("SET-BAUDRATE answered 9600").
  const std::string& refusal() const { return refusal_; }
  // The first setting not answered yet, in words, for a negotiation that ran out of time.
  std::string Unanswered() const;

  // ByteCodec, once open.
  void Decode(const std::uint8_t* input, std::size_t length, std::vector<std::uint8_t>& data,
              std::vector<std::uint8_t>& reply) override;
  void Encode(const std::uint8_t* data, std::size_t length, std::vector<std::uint8_t>& out) override;

 private:
  // The settings asked for, in the order they are sent; each answered at most once.
  enum Setting { kBaud, kDataSize, kParity, kStopSize, kFlow, kDtr, kRts, kPurge, kSettingCount };

  void OnOption(std::uint8_t verb, std::uint8_t option) override;
  void OnSubnegotiation(const std::uint8_t* body, std::size_t length) override;
  void SendSettings();
  void Answer(Setting setting, std::uint32_t value);
  void Refuse(std::string why);
  void CheckDone();

  telnet::TelnetDecoder decoder_;
  Phase phase_ = Phase::kOptions;
  std::string refusal_;
  std::vector<std::uint8_t>* out_ = nullptr;  // where answers go during a Feed or Decode
  Clock::time_point now_{};
  std::optional<Clock::time_point> graceEnd_;
  // Option state: what we do (local) and what the server does (remote), and what we asked for.
  std::array<bool, 256> local_{}, remote_{}, askedLocal_{}, askedRemote_{};
  std::array<bool, kSettingCount> answered_{};
  std::vector<std::uint8_t> scratch_;
};

}  // namespace corvane
