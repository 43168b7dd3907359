#include "port_url.h"

namespace corvane {

std::optional<PortUrl> ParsePortUrl(std::string_view name) {
  PortUrl url;
  constexpr std::string_view kRfc2217 = "rfc2217://";
  constexpr std::string_view kSocket = "socket://";
  if (name.starts_with(kRfc2217)) {
    url.protocol = PortProtocol::kRfc2217;
    name.remove_prefix(kRfc2217.size());
  } else if (name.starts_with(kSocket)) {
    url.protocol = PortProtocol::kRawTcp;
    name.remove_prefix(kSocket.size());
  } else {
    return std::nullopt;
  }
  std::string_view host;
  if (name.starts_with('[')) {
    const std::size_t close = name.find(']');
    if (close == std::string_view::npos) return std::nullopt;
    host = name.substr(1, close - 1);
    name.remove_prefix(close + 1);
    if (!name.starts_with(':')) return std::nullopt;
  } else {
    const std::size_t colon = name.rfind(':');
    if (colon == std::string_view::npos) return std::nullopt;
    host = name.substr(0, colon);
    if (host.find(':') != std::string_view::npos) return std::nullopt;  // IPv6 needs brackets
    name.remove_prefix(colon);
  }
  name.remove_prefix(1);  // the colon
  if (host.empty() || name.empty() || name.size() > 5) return std::nullopt;
  unsigned long number = 0;
  for (const char c : name) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + static_cast<unsigned long>(c - '0');
  }
  if (number == 0 || number > 65535) return std::nullopt;
  url.host = std::string(host);
  url.service = std::to_string(number);
  return url;
}

}  // namespace corvane
