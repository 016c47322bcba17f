#include "hosttools/ss_listing.h"

#include <gtest/gtest.h>

#include "test_support.h"

namespace hosttools {
namespace {

using Pids = std::vector<std::string>;

std::string Fixture(const std::string& name) {
  auto text = hosttools_test::ReadAll(std::string(HOSTTOOLS_FIXTURES) + "/" + name);
  EXPECT_TRUE(text.has_value()) << name;
  return text.value_or("");
}

// Listings captured from `ss -Htnp` and `ss -Htnap` on Debian 12 (iproute2 6.1).
TEST(PidsToLabel, RealListings) {
  struct Case {
    const char* fixture;
    Pids expected;
  };
  const Case cases[] = {
      // Three IPv4 connections, each shared by two processes (a fork after accept); the
      // [::ffff:127.0.0.1] and [::1] connections are passed over.
      {"ss_tnp_loopback.txt", {"6287", "6246", "6287", "6246", "6287", "6246"}},
      // The same with listeners, which are passed over, and a listener without a process.
      {"ss_tnap_loopback.txt", {"6287", "6246", "6287", "6246", "6287", "6246"}},
      // A local address with a scope ("127.0.0.1%lo"), and global IPv6 addresses, whose host
      // part "[2001" is not just "[" and so gets a label; the name holds ",pid=1".
      {"ss_tnp_scoped_and_global.txt", {"6895", "6895", "6895", "6895"}},
      {"ss_tnap_scoped_and_global.txt", {"6895", "6895", "6895", "6895"}},
      // A UTF-8 name holding a blank and quotes.
      {"ss_tnp_unusual_names.txt", {"11029", "10986"}},
  };
  for (const Case& c : cases) EXPECT_EQ(PidsToLabel(Fixture(c.fixture)), c.expected) << c.fixture;
}

TEST(PidsToLabel, EdgeLines) {
  struct Case {
    const char* listing;
    Pids expected;
  };
  const Case cases[] = {
      {"", {}},
      {"\n\n", {}},
      // Carriage returns at the line ends.
      {"ESTAB 0 0 10.0.0.2:22 10.0.0.9:5000 users:((\"sshd\",pid=4,fd=3))\r\n", {"4"}},
      {"ESTAB 0 0 0.0.0.0:22 10.0.0.9:5000 users:((\"sshd\",pid=4,fd=3))", {"4"}},
      // Every state but listening counts, as netstat -no lists them; no process field (another
      // user's socket seen without the right) gives nothing.
      {"SYN-SENT 0 1 10.0.0.2:4000 10.0.0.9:80 users:((\"curl\",pid=77,fd=5))\n", {"77"}},
      {"CLOSE-WAIT 1 0 10.0.0.2:4000 10.0.0.9:80 users:((\"curl\",pid=77,fd=5))\n", {"77"}},
      {"FIN-WAIT-2 0 0 10.0.0.2:4000 10.0.0.9:80 users:((\"curl\",pid=78,fd=5))\n", {"78"}},
      {"LISTEN 0 128 10.0.0.2:22 0.0.0.0:* users:((\"sshd\",pid=4,fd=3))\n", {}},
      {"ESTAB 0 0 10.0.0.2:4000 10.0.0.9:80\n", {}},
      // Bracketed IPv6 whose first colon follows the bracket.
      {"ESTAB 0 0 [::]:22 [::1]:5000 users:((\"a\",pid=5,fd=3))\n", {}},
      {"ESTAB 0 0 [fe80::1]%eth0:22 [fe80::2]%eth0:5000 users:((\"a\",pid=6,fd=3))\n", {"6"}},
      // Truncated or malformed process fields.
      {"ESTAB 0 0 10.0.0.2:22 10.0.0.9:5000 users:((\"a\",pid=,fd=3))\n", {}},
      {"ESTAB 0 0 10.0.0.2:22 10.0.0.9:5000 users:((\"a\",pid=12,fd=3\n", {}},
      {"ESTAB 0 0 10.0.0.2:22 10.0.0.9:5000 users:((\"a\",pid=12x,fd=3))\n", {}},
      {"ESTAB 0 0 10.0.0.2:22\n", {}},
      // A name that imitates an entry's tail without its closing parenthesis.
      {"ESTAB 0 0 10.0.0.2:22 10.0.0.9:5000 users:((\"a\",pid=1,fd=2\",pid=9,fd=3))\n", {"9"}},
  };
  for (const Case& c : cases) EXPECT_EQ(PidsToLabel(c.listing), c.expected) << c.listing;
}

TEST(IsAllDigits, Cases) {
  EXPECT_TRUE(IsAllDigits(""));
  EXPECT_TRUE(IsAllDigits("0123"));
  EXPECT_FALSE(IsAllDigits("4\r"));
  EXPECT_FALSE(IsAllDigits("PID"));
}

}  // namespace
}  // namespace hosttools
