// Real settings files as other programs leave them: every line end the platform's profile
// functions read, UTF-16 with its order mark, and a file edited by hand with quotes and blanks.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "settings/profile.h"
#include "temp_dir.h"
#include "text/gbk.h"

namespace {

using settings::kWhole;
using settings_test::ReadAll;
using settings_test::TempDir;

std::string Fixture(const std::string& name) {
  return std::string(TUNVIK_SETTINGS_FIXTURES) + "/" + name;
}

struct Expected {
  const char* section;
  const char* key;
  const char* utf8;  // the value, converted to GBK before comparing
};

// The same settings in every line-end style and encoding.
const std::vector<Expected> kSettings = {
    {"AccountConfig", "Account", "张三"},
    {"AccountConfig", "Password", "pw 1"},
    {"AccountConfig", "DueDate", "2025-12-31 23:59:59"},
    {"HardwareConfig", "ProcessIP", ""},
    {"HardwareConfig", "ClosingProcess", "C:\\昞\\a.exe|/usr/bin/firefox|"},
    {"HardwareConfig", "VirtualMAC", "1"},
    {"HostConfig", "VpnStrategy", "1"},
    {"HostConfig", "OfflineStrategy", "2"},
    {"HostConfig", "XOLNO", "12"},
    {"HostConfig", "Host", "1.2.3.4"},
    {"HostConfig", "network", "以太网|eth0|"},
};

class SettingsFixture : public testing::TestWithParam<const char*> {};

TEST_P(SettingsFixture, ReadsEveryValueWithoutLineEndBytes) {
  const std::string path = Fixture(GetParam());
  ASSERT_TRUE(std::filesystem::is_regular_file(path)) << path;
  for (const Expected& e : kSettings) {
    EXPECT_EQ(settings::GetProfileString(e.section, e.key, "missing", kWhole, path),
              text::Utf8ToGbk(e.utf8))
        << e.section << "/" << e.key;
  }
  EXPECT_EQ(settings::GetProfileInt("HostConfig", "OfflineStrategy", 0, path), 2);
}

INSTANTIATE_TEST_SUITE_P(Files, SettingsFixture,
                         testing::Values("settings_lf.ini", "settings_crlf.ini", "settings_cr.ini",
                                         "settings_lfcr.ini", "settings_crcrlf.ini",
                                         "settings_utf16le.ini"),
                         [](const testing::TestParamInfo<const char*>& info) {
                           std::string name = info.param;
                           return name.substr(9, name.size() - 13);  // "settings_" ... ".ini"
                         });

struct EightBitCase {
  const char* file;
  const char* newline;
};

class EightBitFixtureWrite : public testing::TestWithParam<EightBitCase> {};

// A changed value and a new key: every other byte stays, new lines take the file's own line end.
TEST_P(EightBitFixtureWrite, KeepsTheFileAsItWas) {
  const EightBitCase& c = GetParam();
  TempDir dir;
  const std::string path = dir.File("XolConfig.ini");
  const std::string before = *ReadAll(Fixture(c.file));
  settings_test::WriteAll(path, before);
  ASSERT_TRUE(settings::WriteProfileString("AccountConfig", "Password", " new pw ", path));
  ASSERT_TRUE(settings::WriteProfileString("AccountConfig", "Extra", "x", path));

  const std::string nl = c.newline;
  std::string expected = before;
  const std::string oldLine = "Password=pw 1" + nl;
  const std::string dueLine = "DueDate=2025-12-31 23:59:59" + nl;
  expected.replace(expected.find(oldLine), oldLine.size(), "Password=\" new pw \"" + nl);
  expected.insert(expected.find(dueLine) + dueLine.size(), "Extra=x" + nl);
  EXPECT_EQ(ReadAll(path), expected);
  EXPECT_EQ(settings::GetProfileString("AccountConfig", "Password", "", kWhole, path), " new pw ");
  EXPECT_EQ(settings::GetProfileString("HostConfig", "network", "", kWhole, path),
            text::Utf8ToGbk("以太网|eth0|"));
}

INSTANTIATE_TEST_SUITE_P(Files, EightBitFixtureWrite,
                         testing::Values(EightBitCase{"settings_lf.ini", "\n"},
                                         EightBitCase{"settings_crlf.ini", "\r\n"},
                                         EightBitCase{"settings_cr.ini", "\r"},
                                         EightBitCase{"settings_lfcr.ini", "\n\r"},
                                         EightBitCase{"settings_crcrlf.ini", "\r\r\n"}),
                         [](const testing::TestParamInfo<EightBitCase>& info) {
                           std::string name = info.param.file;
                           return name.substr(9, name.size() - 13);
                         });

TEST(HandEditedFixture, ReadsAsThePlatformDoes) {
  const std::string path = Fixture("hand_edited.ini");
  auto read = [&](const char* section, const char* key) {
    return settings::GetProfileString(section, key, "missing", kWhole, path);
  };
  EXPECT_EQ(read("AccountConfig", "Account"), text::Utf8ToGbk("张三"));
  EXPECT_EQ(read("AccountConfig", "Password"), " pw 1 ");
  EXPECT_EQ(read("AccountConfig", "DueDate"), "2025-12-31 23:59:59");
  EXPECT_EQ(read("HostConfig", "Host"), "\"1.2.3.4'");
  EXPECT_EQ(read("HostConfig", "XOLNO"), "\"");
  EXPECT_EQ(read("HostConfig", "network"), "");
}

}  // namespace
