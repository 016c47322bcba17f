// The profile that stands for an entry, without NetworkManager: what the entry's fields decide,
// and the addresses and credentials that never reach a profile.
#include <gtest/gtest.h>

#include "vpn/dialer.h"
#include "vpn/nm_profile.h"

namespace {

TEST(NmProfile, FollowsTheEntrysStrategyOptionsAndTheIpsecSetting) {
  vpn::RasEntry entry = vpn::MakeDialEntry("XOL", "10.0.0.1", "1");
  std::optional<vpn::NmProfile> pptp = vpn::MakeNmProfile(entry, false);
  ASSERT_TRUE(pptp);
  EXPECT_EQ(pptp->plugin, &vpn::kPptpPlugin);
  EXPECT_EQ(pptp->data.count("ipsec-enabled"), 0u);
  EXPECT_FALSE(pptp->neverDefault);

  // Without the remote default gateway the tunnel carries only its own network; with only
  // CHAP required, MS-CHAP v2 is refused as well.
  entry.options &= ~(vpn::RASEO_RemoteDefaultGateway | vpn::RASEO_RequireMsEncryptedPw);
  entry.vpnStrategy = vpn::VS_L2tpOnly;
  std::optional<vpn::NmProfile> l2tp = vpn::MakeNmProfile(entry, true);
  ASSERT_TRUE(l2tp);
  EXPECT_EQ(l2tp->plugin, &vpn::kL2tpPlugin);
  EXPECT_EQ(l2tp->data.at("ipsec-enabled"), "no");
  EXPECT_EQ(l2tp->data.at("refuse-chap"), "no");
  EXPECT_EQ(l2tp->data.at("refuse-mschapv2"), "yes");
  EXPECT_TRUE(l2tp->neverDefault);
}

TEST(NmProfile, RefusesAddressesThatCannotBeAGateway) {
  for (const char* address : {"", "10.0.0.1 ", "vpn.example.net\nplugin x.so", "\xb7\xfe.cn"}) {
    EXPECT_FALSE(vpn::MakeNmProfile(vpn::MakeDialEntry("XOL", address, "0"), false)) << address;
  }
  EXPECT_TRUE(vpn::IsStorableCredential("\xd5\xc5\xc8\xfd pass\"word"));
  EXPECT_FALSE(vpn::IsStorableCredential("demo\nname"));
  EXPECT_FALSE(vpn::IsStorableCredential(std::string("de\0mo", 5)));
}

}  // namespace
