// The simulated backend's scenarios, as TUNVIK_SIM names them.
#include <gtest/gtest.h>

#include "vpn/ras_sim.h"

namespace {

using Kind = vpn::SimScenario::Kind;

TEST(SimScenario, ParsesEveryForm) {
  struct Case {
    const char* text;
    bool valid;
    Kind kind;
    unsigned code;
    int ms;
  };
  const Case cases[] = {
      {"", true, Kind::kOk, 0, 0},
      {"ok", true, Kind::kOk, 0, 0},
      {"fail:691", true, Kind::kFail, 691, 0},
      {"fail:678:12000", true, Kind::kFail, 678, 12000},
      {"fail:678:", false, Kind::kOk, 0, 0},
      {"refuse:633:5", false, Kind::kOk, 0, 0},
      {"refuse:633", true, Kind::kRefuse, 633, 0},
      {"drop:1500", true, Kind::kDrop, 0, 1500},
      {"slow:12000", true, Kind::kSlow, 0, 12000},
      {"fail:", false, Kind::kOk, 0, 0},
      {"fail:0", false, Kind::kOk, 0, 0},
      {"drop:-5", false, Kind::kOk, 0, 0},
      {"boom:1", false, Kind::kOk, 0, 0},
      {"drop:1x", false, Kind::kOk, 0, 0},
      {"okay", false, Kind::kOk, 0, 0},
  };
  for (const Case& c : cases) {
    auto parsed = vpn::ParseSimScenario(c.text);
    ASSERT_EQ(parsed.has_value(), c.valid) << c.text;
    if (!parsed) continue;
    EXPECT_EQ(parsed->kind, c.kind) << c.text;
    EXPECT_EQ(parsed->code, c.code) << c.text;
    EXPECT_EQ(parsed->milliseconds, c.ms) << c.text;
  }
}

TEST(SimBackend, StatusIsGoneAfterHangUpAndUnknownHandles) {
  vpn::SimRasBackend backend;
  vpn::RasEntry entry;
  entry.entryName = "XOL";
  ASSERT_EQ(backend.SetEntryProperties(entry), 0u);
  vpn::RasDialParams params;
  params.entryName = "XOL";
  vpn::ConnectionHandle handle = 0;
  ASSERT_EQ(backend.Dial(
                params, [](unsigned, int, unsigned) {}, &handle),
            0u);
  EXPECT_EQ(backend.GetConnectStatus(handle), 0u);
  EXPECT_EQ(backend.HangUp(handle), 0u);
  EXPECT_EQ(backend.GetConnectStatus(handle), vpn::ERROR_INVALID_HANDLE);
  EXPECT_EQ(backend.GetConnectStatus(4242), vpn::ERROR_INVALID_HANDLE);
  EXPECT_EQ(backend.DeleteEntry("XOL"), 0u);
  EXPECT_NE(backend.DeleteEntry("XOL"), 0u);
}

}  // namespace
