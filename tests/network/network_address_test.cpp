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
    AddressFault fault;
    ASSERT_TRUE(ParseNetworkAddress(c.name, &address, &fault)) << static_cast<int>(fault.kind);
    EXPECT_EQ(address.kind, c.kind);
    EXPECT_EQ(address.host, c.host);
    EXPECT_EQ(address.port, c.port);
    EXPECT_EQ(address.Name(), c.shown);
  }
  EXPECT_FALSE(IsNetworkName("/dev/ttyUSB0"));
  EXPECT_FALSE(IsNetworkName("COM3"));
}

TEST(NetworkAddressTest, RefusesAMalformedAddressSayingWhatIsWrong) {
  using Kind = AddressFault::Kind;
  const struct {
    std::string name;
    Kind kind;
    std::string part;  // the host or port at fault
  } cases[] = {
      {"socket://host", Kind::kNoPortNumber, ""},
      {"socket://host:", Kind::kBadPortNumber, ""},
      {"socket://host:0", Kind::kBadPortNumber, "0"},
      {"socket://host:65536", Kind::kBadPortNumber, "65536"},
      {"socket://host:99999999999", Kind::kBadPortNumber, "99999999999"},
      {"socket://host:-1", Kind::kBadPortNumber, "-1"},
      {"socket://host:30x1", Kind::kBadPortNumber, "30x1"},
      {"rfc2217://:3001", Kind::kNoHost, ""},
      {"rfc2217://[]:3001", Kind::kBadIpv6, ""},
      {"rfc2217://::1:3001", Kind::kBadHost, "::1"},
      {"rfc2217://[::1:3001", Kind::kBadIpv6, ""},
      {"rfc2217://[fe80::g]:3001", Kind::kBadIpv6, ""},
      {"socket://ho st:3001", Kind::kBadHost, "ho st"},
      {"socket://user@host:3001", Kind::kBadHost, "user@host"},
      {"ftp://host:21", Kind::kUnknownScheme, ""},
      {"SOCKET://host:21", Kind::kUnknownScheme, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    NetworkAddress address;
    AddressFault fault;
    EXPECT_FALSE(ParseNetworkAddress(c.name, &address, &fault));
    EXPECT_EQ(fault.kind, c.kind);
    EXPECT_EQ(c.kind == Kind::kBadHost ? fault.host : fault.port, c.part);
  }
}

}  // namespace
