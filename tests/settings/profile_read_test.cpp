// Reads through the profile operations: lookup rules, the common INI layout, limits and integers.
#include <gtest/gtest.h>

#include <climits>
#include <optional>
#include <string>

#include "settings/profile.h"
#include "temp_dir.h"

namespace {

using settings::kWhole;
using settings_test::TempDir;

// GBK: "中" and a character whose second byte is "]".
const std::string kZhong = "\xD6\xD0";
const std::string kTrailBracket = "\x81\x5D";

struct ReadCase {
  const char* name;
  std::optional<std::string> file;  // nullopt: no file at all
  std::string section;
  std::string key;
  std::size_t limit;
  std::string expected;  // the fallback is "dflt"
};

class ProfileRead : public testing::TestWithParam<ReadCase> {};

TEST_P(ProfileRead, ReturnsExpectedValue) {
  const ReadCase& c = GetParam();
  TempDir dir;
  std::string path = dir.File("XolConfig.ini");
  if (c.file) settings_test::WriteAll(path, *c.file);
  EXPECT_EQ(settings::GetProfileString(c.section, c.key, "dflt", c.limit, path), c.expected);
}

const std::string k60(60, 'a');

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileRead,
    testing::Values(
        ReadCase{"MissingFile", std::nullopt, "S", "k", kWhole, "dflt"},
        ReadCase{"EmptyFile", "", "S", "k", kWhole, "dflt"},
        ReadCase{"MissingSection", "[T]\nk=v\n", "S", "k", kWhole, "dflt"},
        ReadCase{"MissingKey", "[S]\nother=v\n", "S", "k", kWhole, "dflt"},
        ReadCase{"KeyOfLaterSectionNotSeen", "[S]\n[T]\nk=v\n", "S", "k", kWhole, "dflt"},
        ReadCase{"KeyBeforeAnySectionNotSeen", "k=v\n[S]\n", "S", "k", kWhole, "dflt"},
        ReadCase{"EmptyValueIsNotMissing", "[S]\nk=\n", "S", "k", kWhole, ""},
        ReadCase{"LetterCaseIgnored", "[hostCONFIG]\nHOST=a.b\n", "HostConfig", "host", kWhole,
                 "a.b"},
        ReadCase{"FirstKeyWins", "[S]\nk=one\nK=two\n", "S", "k", kWhole, "one"},
        ReadCase{"SameNamedSectionsReadAsOne", "[S]\na=1\n[T]\nk=t\n[s]\nk=two\n", "S", "k", kWhole,
                 "two"},
        ReadCase{"BlanksAroundEverything", "  [ S ]  \n\t k \t=  v w \t\n", "S", "k", kWhole,
                 "v w"},
        ReadCase{"EqualsSignInValue", "[S]\nk=a=b\n", "S", "k", kWhole, "a=b"},
        ReadCase{"CommentLinesAreNoKeys", "[S]\n;k=c\n#k=h\nk=v\n", "S", "k", kWhole, "v"},
        ReadCase{"OtherLinesIgnored", "[S]\njunk line\n[broken\nk=v\n", "S", "k", kWhole, "v"},
        ReadCase{"CrLfEndings", "[S]\r\nk=v\r\nj=w\r\n", "S", "k", kWhole, "v"},
        ReadCase{"CrOnlyEndings", "[S]\rj=w\rk=v\r", "S", "k", kWhole, "v"},
        ReadCase{"LfCrEndings", "[S]\n\rj=w\n\rk=v\n\r", "S", "k", kWhole, "v"},
        ReadCase{"CrCrLfEndings", "[S]\r\r\nk=v\r\r\nj=w\r\r\n", "S", "k", kWhole, "v"},
        ReadCase{"MixedEndings", "[S]\ra=1\r\nb=2\nk=v\n\r", "S", "k", kWhole, "v"},
        ReadCase{"DoubleQuotesDropped", "[S]\nk=\"1.2.3.4\"\n", "S", "k", kWhole, "1.2.3.4"},
        ReadCase{"SingleQuotesDropped", "[S]\nk='v'\n", "S", "k", kWhole, "v"},
        ReadCase{"BlanksInsideQuotesKept", "[S]\nk = \" p w \" \n", "S", "k", kWhole, " p w "},
        ReadCase{"OnlyOnePairDropped", "[S]\nk=\"\"v\"\"\n", "S", "k", kWhole, "\"v\""},
        ReadCase{"EmptyQuotes", "[S]\nk=''\n", "S", "k", kWhole, ""},
        ReadCase{"UnmatchedQuotesKept", "[S]\nk=\"v'\n", "S", "k", kWhole, "\"v'"},
        ReadCase{"LoneQuoteKept", "[S]\nk=\"\n", "S", "k", kWhole, "\""},
        ReadCase{"InnerQuotesKept", "[S]\nk=a \"b\" c\n", "S", "k", kWhole, "a \"b\" c"},
        ReadCase{"QuotesCutToLimit", "[S]\nk=\"abcd\"\n", "S", "k", 2, "ab"},
        ReadCase{"NoFinalLineEnd", "[S]\nk=v", "S", "k", kWhole, "v"},
        ReadCase{"Utf8BomIgnored", "\xEF\xBB\xBF[S]\nk=v\n", "S", "k", kWhole, "v"},
        ReadCase{"GbkSectionWithBracketTrailByte", "[" + kTrailBracket + "]\nk=v\n", kTrailBracket,
                 "k", kWhole, "v"},
        ReadCase{"GbkValue", "[S]\nk=" + kZhong + kZhong + "\n", "S", "k", kWhole, kZhong + kZhong},
        ReadCase{"CutToLimit", "[S]\nk=" + k60 + "\n", "S", "k", 49, k60.substr(0, 49)},
        ReadCase{"WholeWithoutLimit", "[S]\nk=" + k60 + "\n", "S", "k", kWhole, k60},
        ReadCase{"ValueAtLimitKept", "[S]\nk=abc\n", "S", "k", 3, "abc"},
        ReadCase{"DoubleByteAtCutDropped", "[S]\nk=a" + kZhong + "b\n", "S", "k", 2, "a"},
        ReadCase{"DoubleByteInsideLimitKept", "[S]\nk=a" + kZhong + "b\n", "S", "k", 3,
                 "a" + kZhong},
        ReadCase{"LoneLeadByteAtEnd", "[S]\nk=a\x81\n", "S", "k", 2, "a\x81"},
        ReadCase{"ZeroLimit", "[S]\nk=v\n", "S", "k", 0, ""},
        ReadCase{"FallbackCutToo", std::nullopt, "S", "k", 2, "df"}),
    [](const testing::TestParamInfo<ReadCase>& info) { return std::string(info.param.name); });

struct IntCase {
  const char* name;
  std::optional<std::string> value;  // nullopt: no key
  int expected;                      // the fallback is 42
};

class ProfileInt : public testing::TestWithParam<IntCase> {};

TEST_P(ProfileInt, ParsesLeadingDigits) {
  const IntCase& c = GetParam();
  TempDir dir;
  std::string path = dir.File("a.ini");
  settings_test::WriteAll(path, c.value ? "[S]\nn=" + *c.value + "\n" : "[S]\n");
  EXPECT_EQ(settings::GetProfileInt("S", "n", 42, path), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileInt,
    testing::Values(IntCase{"Missing", std::nullopt, 42}, IntCase{"Empty", "", 42},
                    IntCase{"Quoted", "\"3\"", 3}, IntCase{"Zero", "0", 0},
                    IntCase{"Plain", "2", 2}, IntCase{"Negative", "-1", -1},
                    IntCase{"PlusSign", "+5", 5}, IntCase{"TrailingJunk", "7x", 7},
                    IntCase{"NoDigits", "x", 0}, IntCase{"SignOnly", "-", 0},
                    IntCase{"InnerBlank", "1 2", 1}, IntCase{"Largest", "2147483647", INT_MAX},
                    IntCase{"Smallest", "-2147483648", INT_MIN},
                    IntCase{"TooLargeSaturates", "99999999999999999999", INT_MAX},
                    IntCase{"TooSmallSaturates", "-99999999999999999999", INT_MIN}),
    [](const testing::TestParamInfo<IntCase>& info) { return std::string(info.param.name); });

TEST(ProfileInt, MissingFileGivesFallback) {
  TempDir dir;
  EXPECT_EQ(settings::GetProfileInt("S", "n", 3, dir.File("none.ini")), 3);
}

TEST(ProfileRead, UnreadableFileReadsAsMissing) {
  TempDir dir;  // a folder where the file should be
  EXPECT_EQ(settings::GetProfileString("S", "k", "dflt", kWhole, dir.path()), "dflt");
  EXPECT_EQ(settings::GetProfileInt("S", "k", 5, dir.path()), 5);
}

TEST(ProfileRead, SeesEveryWriteAtOnce) {
  TempDir dir;
  std::string path = dir.File("a.ini");
  settings_test::WriteAll(path, "[S]\nk=1\n");
  EXPECT_EQ(settings::GetProfileInt("S", "k", 0, path), 1);
  settings_test::WriteAll(path, "[S]\nk=2\n");  // changed behind the store's back
  EXPECT_EQ(settings::GetProfileInt("S", "k", 0, path), 2);
}

}  // namespace
