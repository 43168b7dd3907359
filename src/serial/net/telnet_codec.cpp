#include "telnet_codec.h"

namespace corvane::telnet {

void EncodeData(const std::uint8_t* data, std::size_t length, std::vector<std::uint8_t>& out) {
  out.reserve(out.size() + length + 8);
  for (std::size_t i = 0; i < length; ++i) {
    out.push_back(data[i]);
    if (data[i] == kIac) out.push_back(kIac);
  }
}

void TelnetDecoder::Decode(const std::uint8_t* input, std::size_t length, std::vector<std::uint8_t>& data) {
  for (std::size_t i = 0; i < length; ++i) {
    const std::uint8_t byte = input[i];
    switch (state_) {
      case State::kData:
        if (byte == kIac)
          state_ = State::kAfterIac;
        else
          data.push_back(byte);
        break;
      case State::kAfterIac:
        if (byte == kIac) {
          data.push_back(kIac);
          state_ = State::kData;
        } else if (byte >= kWill) {
          verb_ = byte;
          state_ = State::kOption;
        } else if (byte == kSb) {
          sub_.clear();
          state_ = State::kSub;
        } else {
          events_.OnCommand(byte);
          state_ = State::kData;
        }
        break;
      case State::kOption:
        state_ = State::kData;
        events_.OnOption(verb_, byte);
        break;
      case State::kSub:
        if (byte == kIac)
          state_ = State::kSubAfterIac;
        else if (sub_.size() < kMaxSubnegotiation)
          sub_.push_back(byte);
        break;
      case State::kSubAfterIac:
        if (byte == kIac) {
          if (sub_.size() < kMaxSubnegotiation) sub_.push_back(kIac);
          state_ = State::kSub;
        } else {
          // IAC SE ends it; any other command ends it as well (a peer that forgot the SE), and
          // is then taken as the command it is.
          state_ = State::kData;
          events_.OnSubnegotiation(sub_.data(), sub_.size());
          sub_.clear();
          if (byte != kSe) {
            state_ = State::kAfterIac;
            --i;  // read it again as the byte after an IAC
          }
        }
        break;
    }
  }
}

}  // namespace corvane::telnet
