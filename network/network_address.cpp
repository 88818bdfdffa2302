#include "network/network_address.h"

#include <cctype>

namespace {

constexpr struct {
  const char* scheme;
  NetworkAddress::Kind kind;
} kSchemes[] = {{"socket://", NetworkAddress::Kind::kRawTcp},
                {"rfc2217://", NetworkAddress::Kind::kRfc2217}};

bool AllDigits(const std::string& text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
  }
  return true;
}

// A host name or IPv4 address: letters, digits, dots, hyphens, underscores.
bool PlainHost(const std::string& host) {
  for (char c : host) {
    if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-' && c != '_') {
      return false;
    }
  }
  return true;
}

bool Ipv6Host(const std::string& host) {
  if (host.find(':') == std::string::npos) return false;
  for (char c : host) {
    if (!std::isxdigit(static_cast<unsigned char>(c)) && c != ':' && c != '.' && c != '%') {
      return false;
    }
  }
  return true;
}

}  // namespace

std::string NetworkAddress::Name() const {
  const std::string shown = host.find(':') != std::string::npos ? "[" + host + "]" : host;
  return shown + ":" + std::to_string(port);
}

bool IsNetworkName(const std::string& name) { return name.find("://") != std::string::npos; }

bool ParseNetworkAddress(const std::string& name, NetworkAddress* address, AddressFault* fault) {
  AddressFault unused;
  if (fault == nullptr) fault = &unused;
  NetworkAddress parsed;
  std::string rest;
  bool known = false;
  for (const auto& scheme : kSchemes) {
    const std::string prefix = scheme.scheme;
    if (name.size() >= prefix.size() && name.compare(0, prefix.size(), prefix) == 0) {
      parsed.kind = scheme.kind;
      rest = name.substr(prefix.size());
      known = true;
    }
  }
  if (!known) {
    fault->kind = AddressFault::Kind::kUnknownScheme;
    return false;
  }
  const std::size_t colon = rest.rfind(':');
  const std::size_t bracket = rest.rfind(']');
  if (colon == std::string::npos || (bracket != std::string::npos && colon < bracket)) {
    fault->kind = AddressFault::Kind::kNoPortNumber;
    return false;
  }
  std::string host = rest.substr(0, colon);
  const std::string port = rest.substr(colon + 1);
  if (!host.empty() && host.front() == '[') {
    if (host.back() != ']' || !Ipv6Host(host.substr(1, host.size() - 2))) {
      fault->kind = AddressFault::Kind::kBadIpv6;
      return false;
    }
    host = host.substr(1, host.size() - 2);
  } else if (!PlainHost(host)) {
    fault->kind = AddressFault::Kind::kBadHost;
    fault->host = host;
    return false;
  }
  if (host.empty()) {
    fault->kind = AddressFault::Kind::kNoHost;
    return false;
  }
  if (!AllDigits(port) || port.size() > 5 || std::stoi(port) < 1 || std::stoi(port) > 65535) {
    fault->kind = AddressFault::Kind::kBadPortNumber;
    fault->port = port;
    return false;
  }
  parsed.host = host;
  parsed.port = std::stoi(port);
  *address = parsed;
  return true;
}
