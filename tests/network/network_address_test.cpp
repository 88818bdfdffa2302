#include "network/network_address.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(NetworkAddressTest, ReadsBothKindsWithNamesIpv4AndBracketedIpv6) {
  const struct {
    std::string name;
    NetworkAddress::Kind kind;
    std::string host;
    int port;
    std::string shown;
  } cases[] = {
      {"socket://192.168.1.20:3001", NetworkAddress::Kind::kRawTcp, "192.168.1.20", 3001,
       "192.168.1.20:3001"},
      {"rfc2217://shop-unit_3.example.com:1", NetworkAddress::Kind::kRfc2217,
       "shop-unit_3.example.com", 1, "shop-unit_3.example.com:1"},
      {"rfc2217://[2001:db8::20]:65535", NetworkAddress::Kind::kRfc2217, "2001:db8::20", 65535,
       "[2001:db8::20]:65535"},
      {"socket://[::1]:7000", NetworkAddress::Kind::kRawTcp, "::1", 7000, "[::1]:7000"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_TRUE(IsNetworkName(c.name));
    NetworkAddress address;
    std::string error;
    ASSERT_TRUE(ParseNetworkAddress(c.name, &address, &error)) << error;
    EXPECT_EQ(address.kind, c.kind);
    EXPECT_EQ(address.host, c.host);
    EXPECT_EQ(address.port, c.port);
    EXPECT_EQ(address.Name(), c.shown);
  }
  EXPECT_FALSE(IsNetworkName("/dev/ttyUSB0"));
  EXPECT_FALSE(IsNetworkName("COM3"));
}

TEST(NetworkAddressTest, RefusesAMalformedAddressSayingWhat) {
  const struct {
    std::string name;
    std::string says;
  } cases[] = {
      {"socket://host", "has no port number"},
      {"socket://host:", "must be from 1 to 65535, not ''"},
      {"socket://host:0", "must be from 1 to 65535, not '0'"},
      {"socket://host:65536", "not '65536'"},
      {"socket://host:99999999999", "not '99999999999'"},
      {"socket://host:-1", "not '-1'"},
      {"socket://host:30x1", "not '30x1'"},
      {"rfc2217://:3001", "names no host"},
      {"rfc2217://[]:3001", "an IPv6 address goes in brackets"},
      {"rfc2217://::1:3001", "an IPv6 address goes in brackets"},
      {"rfc2217://[::1:3001", "an IPv6 address goes in brackets"},
      {"rfc2217://[fe80::g]:3001", "an IPv6 address goes in brackets"},
      {"socket://ho st:3001", "'ho st' is no host name or address"},
      {"socket://user@host:3001", "is no host name or address"},
      {"ftp://host:21", "a network port is socket://HOST:PORT or rfc2217://HOST:PORT"},
      {"SOCKET://host:21", "a network port is socket://"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    NetworkAddress address;
    std::string error;
    EXPECT_FALSE(ParseNetworkAddress(c.name, &address, &error));
    EXPECT_NE(error.find(c.says), std::string::npos) << error;
  }
}

}  // namespace
