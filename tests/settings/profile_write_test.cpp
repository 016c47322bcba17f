// Writes through the profile operations: the exact bytes of a rewrite, and refused writes.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "settings/profile.h"
#include "temp_dir.h"

namespace {

using settings_test::ReadAll;
using settings_test::TempDir;

struct WriteCase {
  const char* name;
  std::optional<std::string> before;  // nullopt: no file yet
  std::string section;
  std::string key;
  std::string value;
  std::string after;
};

class ProfileWrite : public testing::TestWithParam<WriteCase> {};

TEST_P(ProfileWrite, RewritesOnlyWhatChanges) {
  const WriteCase& c = GetParam();
  TempDir dir;
  std::string path = dir.File("XolConfig.ini");
  if (c.before) settings_test::WriteAll(path, *c.before);
  ASSERT_TRUE(settings::WriteProfileString(c.section, c.key, c.value, path));
  EXPECT_EQ(ReadAll(path), c.after);
  EXPECT_EQ(settings::GetProfileString(c.section, c.key, "", settings::kWhole, path), c.value);
}

const std::string kTrailBar = "\x81\x7C";
const std::string kZhong = "\xD6\xD0";

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileWrite,
    testing::Values(
        WriteCase{"NewFile", std::nullopt, "S", "k", "v", "[S]\nk=v\n"},
        WriteCase{"EmptyFile", "", "S", "k", "v", "[S]\nk=v\n"},
        WriteCase{"ReplaceKeepsLayout", "[S]\n  k = old\nj=1\n", "S", "k", "new",
                  "[S]\n  k = new\nj=1\n"},
        WriteCase{"ReplaceWithEmpty", "[S]\nk=old\n", "S", "k", "", "[S]\nk=\n"},
        WriteCase{"ReplaceKeepsFileSpelling", "[hostconfig]\nHOST=a\n", "HostConfig", "Host", "b",
                  "[hostconfig]\nHOST=b\n"},
        WriteCase{"ReplaceFirstOfTwo", "[S]\nk=1\nk=2\n", "S", "k", "3", "[S]\nk=3\nk=2\n"},
        WriteCase{"ReplaceInSecondSameNamedSection", "[S]\na=1\n[T]\n[S]\nk=1\n", "S", "k", "2",
                  "[S]\na=1\n[T]\n[S]\nk=2\n"},
        WriteCase{"AppendAfterLastKeyBeforeBlanks", "[A]\nx=1\n; about B\n\n\n[B]\ny=2\n", "A", "z",
                  "3", "[A]\nx=1\nz=3\n; about B\n\n\n[B]\ny=2\n"},
        WriteCase{"AppendToSectionWithoutKeys", "[A]\n\n[B]\n", "A", "x", "1", "[A]\nx=1\n\n[B]\n"},
        WriteCase{"AppendToLastSectionWithoutLineEnd", "[A]\nx=1", "A", "y", "2",
                  "[A]\nx=1\ny=2\n"},
        WriteCase{"NewSectionAfterBlankLine", "[A]\nx=1\n", "B", "y", "2",
                  "[A]\nx=1\n\n[B]\ny=2\n"},
        WriteCase{"NewSectionAfterExistingBlank", "[A]\nx=1\n\n", "B", "y", "2",
                  "[A]\nx=1\n\n[B]\ny=2\n"},
        WriteCase{"CrLfFileStaysCrLf", "[A]\r\nx=1\r\n", "A", "y", "2", "[A]\r\nx=1\r\ny=2\r\n"},
        WriteCase{"CrLfNewSection", "[A]\r\nx=1\r\n", "B", "y", "2",
                  "[A]\r\nx=1\r\n\r\n[B]\r\ny=2\r\n"},
        WriteCase{"FirstLineDecidesEnding", "[A]\nx=1\r\n", "A", "y", "2", "[A]\nx=1\r\ny=2\n"},
        WriteCase{"OtherLinesKept",
                  "; settings\n# of tunvik\nstray=before sections\n[A]\nnot a key\n[b\nx=1\n", "A",
                  "x", "9",
                  "; settings\n# of tunvik\nstray=before sections\n[A]\nnot a key\n[b\nx=9\n"},
        WriteCase{"BomKept", "\xEF\xBB\xBF[A]\nx=1\n", "A", "x", "2", "\xEF\xBB\xBF[A]\nx=2\n"},
        WriteCase{"GbkValueWithTrailBar", std::nullopt, "HostConfig", "network",
                  kZhong + kTrailBar + "|eth0|",
                  "[HostConfig]\nnetwork=" + kZhong + kTrailBar + "|eth0|\n"},
        WriteCase{"GbkSectionName", std::nullopt, kZhong, kZhong, "v",
                  "[" + kZhong + "]\n" + kZhong + "=v\n"},
        // Quotes exactly where a read would otherwise change the value.
        WriteCase{"BlankEdgedValueQuoted", std::nullopt, "S", "k", " p w ", "[S]\nk=\" p w \"\n"},
        WriteCase{"TabEdgedValueQuoted", std::nullopt, "S", "k", "pw\t", "[S]\nk=\"pw\t\"\n"},
        WriteCase{"QuotedValueQuotedAgain", std::nullopt, "S", "k", "\"v\"", "[S]\nk=\"\"v\"\"\n"},
        WriteCase{"SingleQuotedValueQuoted", std::nullopt, "S", "k", "'v'", "[S]\nk=\"'v'\"\n"},
        WriteCase{"EmptyQuotesQuoted", std::nullopt, "S", "k", "\"\"", "[S]\nk=\"\"\"\"\n"},
        WriteCase{"LoneQuotePlain", std::nullopt, "S", "k", "\"", "[S]\nk=\"\n"},
        WriteCase{"UnmatchedQuotesPlain", std::nullopt, "S", "k", "'v\"", "[S]\nk='v\"\n"},
        WriteCase{"InnerBlanksPlain", std::nullopt, "S", "k", "a \"b\" c", "[S]\nk=a \"b\" c\n"},
        WriteCase{"ReplaceQuotedByPlain", "[S]\nk = \" old \"\n", "S", "k", "new",
                  "[S]\nk = new\n"},
        WriteCase{"ReplaceByQuoted", "[S]\n  k = old\n", "S", "k", " new", "[S]\n  k = \" new\"\n"},
        // Files keep their own line ends.
        WriteCase{"CrOnlyFile", "[A]\rx=1\r", "A", "y", "2", "[A]\rx=1\ry=2\r"},
        WriteCase{"CrOnlyNewSection", "[A]\rx=1\r", "B", "y", "2", "[A]\rx=1\r\r[B]\ry=2\r"},
        WriteCase{"LfCrFile", "[A]\n\rx=1\n\r\n\r[B]\n\r", "A", "y", "2",
                  "[A]\n\rx=1\n\ry=2\n\r\n\r[B]\n\r"},
        WriteCase{"CrCrLfFile", "[A]\r\r\nx=1\r\r\n", "A", "x", "2", "[A]\r\r\nx=2\r\r\n"},
        WriteCase{"CrCrLfFileNewKey", "[A]\r\r\nx=1\r\r\n", "A", "y", "2",
                  "[A]\r\r\nx=1\r\r\ny=2\r\r\n"}),
    [](const testing::TestParamInfo<WriteCase>& info) { return std::string(info.param.name); });

TEST(ProfileWriteInt, WritesDecimalText) {
  TempDir dir;
  std::string path = dir.File("a.ini");
  ASSERT_TRUE(settings::WriteProfileInt("S", "a", -5, path));
  ASSERT_TRUE(settings::WriteProfileInt("S", "b", 0, path));
  ASSERT_TRUE(settings::WriteProfileInt("S", "c", 2147483647, path));
  EXPECT_EQ(ReadAll(path), "[S]\na=-5\nb=0\nc=2147483647\n");
  EXPECT_EQ(settings::GetProfileInt("S", "a", 0, path), -5);
}

struct RefusedCase {
  const char* name;
  std::string section;
  std::string key;
  std::string value;
};

class ProfileWriteRefused : public testing::TestWithParam<RefusedCase> {};

// Such a write would read back as something else or add lines of its own to the file.
TEST_P(ProfileWriteRefused, ReturnsFalseAndKeepsFile) {
  const RefusedCase& c = GetParam();
  TempDir dir;
  std::string path = dir.File("a.ini");
  const std::string before = "[S]\nk=v\n";
  settings_test::WriteAll(path, before);
  EXPECT_FALSE(settings::WriteProfileString(c.section, c.key, c.value, path));
  EXPECT_EQ(ReadAll(path), before);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ProfileWriteRefused,
    testing::Values(RefusedCase{"LineBreakInValue", "S", "k", "a\r\n[X]\r\nb=c"},
                    RefusedCase{"LineFeedInKey", "S", "k\nx", "v"},
                    RefusedCase{"NulInValue", "S", "k", std::string("a\0b", 3)},
                    RefusedCase{"EqualsInKey", "S", "k=x", "v"},
                    RefusedCase{"BracketInSection", "S]x", "k", "v"},
                    RefusedCase{"EmptyKey", "S", "", "v"},
                    RefusedCase{"EmptySection", "", "k", "v"},
                    RefusedCase{"BlankAroundKey", "S", " k", "v"},
                    RefusedCase{"CommentKey", "S", ";k", "v"},
                    // A lone first byte of a double-byte character would swallow "]" or "=".
                    RefusedCase{"SectionEndsInLeadByte", "S\x81", "k", "v"},
                    RefusedCase{"KeyEndsInLeadByte", "S", "k\xD6", "v"},
                    RefusedCase{"GbkKeyEndsInLeadByte", "S", "\xD6\xD0\xD6", "v"}),
    [](const testing::TestParamInfo<RefusedCase>& info) { return std::string(info.param.name); });

TEST(ProfileWrite, LongValueIsStoredWholeAndReadCut) {
  TempDir dir;
  std::string path = dir.File("a.ini");
  std::string list(300, 'p');
  ASSERT_TRUE(settings::WriteProfileString("HardwareConfig", "ClosingProcess", list, path));
  EXPECT_EQ(settings::GetProfileString("HardwareConfig", "ClosingProcess", "", 254, path),
            list.substr(0, 254));
  EXPECT_EQ(
      settings::GetProfileString("HardwareConfig", "ClosingProcess", "", settings::kWhole, path),
      list);
}

}  // namespace
