// SplitList: the decoding of list values, with GBK-aware separator search.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/profile.h"

namespace {

using Items = std::vector<std::string>;

const std::string kTrailBar = "\x81\x7C";  // a GBK character whose second byte is "|"

struct SplitCase {
  const char* name;
  std::string text;
  Items expected;
};

class SplitList : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitList, SplitsAtSeparatorCharacters) {
  Items items;
  settings::SplitList(GetParam().text, '|', items);
  EXPECT_EQ(items, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitList,
    testing::Values(
        SplitCase{"Empty", "", {}}, SplitCase{"One", "a", {"a"}},
        SplitCase{"TrailingSeparator", "eth0|wlan0|", {"eth0", "wlan0"}},
        SplitCase{"NoTrailingSeparator", "a|b", {"a", "b"}},
        SplitCase{"DoubleSeparator", "a||b", {"a", "", "b"}},
        SplitCase{"LeadingSeparator", "|a", {"", "a"}}, SplitCase{"OnlySeparator", "|", {""}},
        SplitCase{"TrailByteIsNoSeparator", "x" + kTrailBar + "y|z", {"x" + kTrailBar + "y", "z"}},
        SplitCase{"TrailByteAtItemEnd", kTrailBar + "|" + kTrailBar + "|", {kTrailBar, kTrailBar}}),
    [](const testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

TEST(SplitListAppends, KeepsItemsAlreadyThere) {
  Items items{"old"};
  settings::SplitList("new|", '|', items);
  EXPECT_EQ(items, (Items{"old", "new"}));
}

}  // namespace
