#include "net/address.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>

namespace quillon {
namespace {

std::string Dotted(const CasterAddress& address) { return inet_ntoa(address.address); }

TEST(ResolveCasterAddress, DottedAddressesFollowInetAddr) {
  EXPECT_EQ(Dotted(ResolveCasterAddress("127.0.0.1")), "127.0.0.1");
  EXPECT_EQ(ResolveCasterAddress("10.1.2.3").kind, AddressKind::kResolved);
  for (const char* bad : {"192.168.1.300", "255.255.255.255", "1example.com", "", "1.2.3.4x"}) {
    EXPECT_EQ(ResolveCasterAddress(bad).kind, AddressKind::kInvalidDotted) << bad;
  }
}

TEST(ResolveCasterAddress, NamesBeginWithALetter) {
  const auto local = ResolveCasterAddress("localhost");
  EXPECT_EQ(local.kind, AddressKind::kResolved);
  EXPECT_EQ(Dotted(local), "127.0.0.1");
  const auto missing = ResolveCasterAddress("no-such-host.invalid");
  EXPECT_EQ(missing.kind, AddressKind::kUnresolved);
  EXPECT_EQ(missing.address.s_addr, 0u);
}

}  // namespace
}  // namespace quillon
