#include "rfc2217_session.h"

namespace corvane {

using namespace telnet;

namespace {

constexpr const char* kSettingNames[] = {"SET-BAUDRATE", "SET-DATASIZE",     "SET-PARITY",      "SET-STOPSIZE",
                                         "SET-CONTROL (flow control)", "SET-CONTROL (DTR)", "SET-CONTROL (RTS)",
                                         "PURGE-DATA"};
constexpr std::uint32_t kExpected[] = {115200, 8, rfc2217::kParityNone, rfc2217::kStopSizeOne, rfc2217::kControlNoFlow,
                                       rfc2217::kControlDtrOff, rfc2217::kControlRtsOff, rfc2217::kPurgeReceive};

void Command(std::vector<std::uint8_t>& out, std::uint8_t verb, std::uint8_t option) {
  out.insert(out.end(), {kIac, verb, option});
}

// IAC SB COM-PORT-OPTION <command> <value, big-endian, 0xFF doubled> IAC SE
void ComPortCommand(std::vector<std::uint8_t>& out, std::uint8_t command, std::uint32_t value, std::size_t width) {
  out.insert(out.end(), {kIac, kSb, kOptionComPort, command});
  std::uint8_t bytes[4];
  for (std::size_t i = 0; i < width; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * (width - 1 - i)));
  EncodeData(bytes, width, out);
  out.insert(out.end(), {kIac, kSe});
}

bool WantLocal(std::uint8_t option) {
  return option == kOptionBinary || option == kOptionComPort || option == kOptionSuppressGoAhead;
}
// The server may send in binary and without go-aheads; it may not echo (our frames would come back).
bool WantRemote(std::uint8_t option) { return option == kOptionBinary || option == kOptionSuppressGoAhead; }

}  // namespace

void Rfc2217Session::Start(std::vector<std::uint8_t>& out) {
  Command(out, kWill, kOptionBinary);
  Command(out, kDo, kOptionBinary);
  Command(out, kWill, kOptionComPort);
  askedLocal_[kOptionBinary] = askedLocal_[kOptionComPort] = true;
  askedRemote_[kOptionBinary] = true;
}

void Rfc2217Session::Feed(const std::uint8_t* input, std::size_t length, std::vector<std::uint8_t>& out,
                          Clock::time_point now) {
  now_ = now;
  out_ = &out;
  scratch_.clear();
  decoder_.Decode(input, length, scratch_);  // line data before the open is not kept
  out_ = nullptr;
  Advance(now);
}

void Rfc2217Session::Advance(Clock::time_point now) {
  now_ = now;
  if (phase_ == Phase::kSettings && graceEnd_ && now >= *graceEnd_) phase_ = Phase::kOpen;
}

std::string Rfc2217Session::Unanswered() const {
  if (phase_ == Phase::kOptions) {
    if (!local_[kOptionComPort]) return "no answer to WILL COM-PORT-OPTION";
    return "no answer to the BINARY option";
  }
  for (int s = 0; s < kSettingCount; ++s)
    if (!answered_[s]) return std::string("no answer to ") + kSettingNames[s];
  return {};
}

void Rfc2217Session::Decode(const std::uint8_t* input, std::size_t length, std::vector<std::uint8_t>& data,
                            std::vector<std::uint8_t>& reply) {
  out_ = &reply;
  decoder_.Decode(input, length, data);
  out_ = nullptr;
}

void Rfc2217Session::Encode(const std::uint8_t* data, std::size_t length, std::vector<std::uint8_t>& out) {
  EncodeData(data, length, out);
}

void Rfc2217Session::OnOption(std::uint8_t verb, std::uint8_t option) {
  std::vector<std::uint8_t> discard;
  std::vector<std::uint8_t>& out = out_ ? *out_ : discard;
  switch (verb) {
    case kDo:
      if (!WantLocal(option)) {
        Command(out, kWont, option);
      } else if (!local_[option]) {
        local_[option] = true;
        if (!askedLocal_[option]) Command(out, kWill, option);
      }
      break;
    case kWill:
      if (!WantRemote(option)) {
        Command(out, kDont, option);
      } else if (!remote_[option]) {
        remote_[option] = true;
        if (!askedRemote_[option]) Command(out, kDo, option);
      }
      break;
    case kDont:
      local_[option] = false;
      if (phase_ == Phase::kOptions && (option == kOptionBinary || option == kOptionComPort))
        Refuse(option == kOptionBinary ? "the server refused BINARY" : "the server refused COM-PORT-OPTION");
      break;
    case kWont:
      remote_[option] = false;
      if (phase_ == Phase::kOptions && option == kOptionBinary) Refuse("the server refused BINARY");
      break;
  }
  if (phase_ == Phase::kOptions && local_[kOptionBinary] && remote_[kOptionBinary] && local_[kOptionComPort])
    SendSettings();
}

void Rfc2217Session::SendSettings() {
  phase_ = Phase::kSettings;
  if (!out_) return;
  std::vector<std::uint8_t>& out = *out_;
  ComPortCommand(out, rfc2217::kSetBaudRate, kExpected[kBaud], 4);
  ComPortCommand(out, rfc2217::kSetDataSize, kExpected[kDataSize], 1);
  ComPortCommand(out, rfc2217::kSetParity, kExpected[kParity], 1);
  ComPortCommand(out, rfc2217::kSetStopSize, kExpected[kStopSize], 1);
  ComPortCommand(out, rfc2217::kSetControl, kExpected[kFlow], 1);
  ComPortCommand(out, rfc2217::kSetControl, kExpected[kDtr], 1);
  ComPortCommand(out, rfc2217::kSetControl, kExpected[kRts], 1);
  ComPortCommand(out, rfc2217::kPurgeData, kExpected[kPurge], 1);  // last: what came before is not ours
}

void Rfc2217Session::OnSubnegotiation(const std::uint8_t* body, std::size_t length) {
  if (length < 3 || body[0] != kOptionComPort || phase_ != Phase::kSettings) return;
  const std::uint8_t command = body[1];
  const std::uint8_t value = body[2];
  switch (command) {
    case rfc2217::kSetBaudRate + rfc2217::kServerOffset:
      if (length < 6) return Refuse("SET-BAUDRATE answered without a rate");
      return Answer(kBaud, std::uint32_t{body[2]} << 24 | std::uint32_t{body[3]} << 16 | std::uint32_t{body[4]} << 8 |
                               body[5]);
    case rfc2217::kSetDataSize + rfc2217::kServerOffset:
      return Answer(kDataSize, value);
    case rfc2217::kSetParity + rfc2217::kServerOffset:
      return Answer(kParity, value);
    case rfc2217::kSetStopSize + rfc2217::kServerOffset:
      return Answer(kStopSize, value);
    case rfc2217::kSetControl + rfc2217::kServerOffset:
      // One command sets three things; the value says which one an answer is about.
      if (value <= 3 || (value >= 13 && value <= 19)) return Answer(kFlow, value);
      if (value >= 7 && value <= 9) return Answer(kDtr, value);
      if (value >= 10 && value <= 12) return Answer(kRts, value);
      return;  // BREAK: not asked for
    case rfc2217::kPurgeData + rfc2217::kServerOffset:
      return Answer(kPurge, value);
    default:
      return;  // line and modem state notices, flow suspend and resume: nothing the link uses
  }
}

void Rfc2217Session::Answer(Setting setting, std::uint32_t value) {
  if (answered_[setting]) return;
  if (value != kExpected[setting])
    return Refuse(std::string(kSettingNames[setting]) + " answered " + std::to_string(value) + " for " +
                  std::to_string(kExpected[setting]));
  answered_[setting] = true;
  CheckDone();
}

void Rfc2217Session::Refuse(std::string why) {
  if (phase_ == Phase::kRefused || phase_ == Phase::kOpen) return;
  phase_ = Phase::kRefused;
  refusal_ = std::move(why);
}

void Rfc2217Session::CheckDone() {
  for (int s = 0; s < kSettingCount; ++s)
    if (!answered_[s] && s != kDtr && s != kRts) return;
  if (answered_[kDtr] && answered_[kRts]) {
    phase_ = Phase::kOpen;
    graceEnd_.reset();
  } else if (!graceEnd_) {
    graceEnd_ = now_ + kModemLineGrace;
  }
}

}  // namespace corvane
