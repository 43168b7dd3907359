// A port on another machine, named as a URL: "rfc2217://HOST:PORT" (Telnet with COM-Port
// Control: the line settings are made over the connection) or "socket://HOST:PORT" (a raw TCP
// connection: the server holds the line settings). HOST is a name, an IPv4 address or an IPv6
// address in brackets ("[::1]").
#pragma once
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

enum class PortProtocol { kRfc2217, kRawTcp };

struct PortUrl {
  PortProtocol protocol = PortProtocol::kRawTcp;
  std::string host;  // without the brackets of an IPv6 address
  std::string service;  // the TCP port, as digits (1-65535)
};

// Nothing when `name` is not such a URL: another scheme, no host, a port that is missing, not a
// number or out of range, or anything after the port.
std::optional<PortUrl> ParsePortUrl(std::string_view name);

}  // namespace corvane
