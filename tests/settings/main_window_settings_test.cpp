// The main window's load of its keys and the save of the account.
#include "settings/main_window_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "settings/keys.h"
#include "settings/profile.h"
#include "temp_dir.h"

namespace {

using settings_test::TempDir;
using Items = std::vector<std::string>;

TEST(MainWindowSettings, FirstStartWithoutFileGivesDefaults) {
  TempDir dir;
  std::string path = dir.File("XolConfig.ini");
  settings::MainWindowSettings s = settings::LoadMainWindowSettings(path);
  EXPECT_EQ(s.account, "");
  EXPECT_EQ(s.password, "");
  EXPECT_EQ(s.dueDate, "");
  EXPECT_EQ(s.processFilter, "");
  EXPECT_EQ(s.autostart, 0);
  EXPECT_EQ(s.autoConnect, 0);
  EXPECT_TRUE(s.disabledAdapters.empty());
  EXPECT_FALSE(settings_test::ReadAll(path)) << "loading must not create the file";
}

TEST(MainWindowSettings, LoadsEveryKeyWithItsLimit) {
  TempDir dir;
  std::string path = dir.File("XolConfig.ini");
  const std::string zhong = "\xD6\xD0";
  const std::string account(60, 'u');
  const std::string filter = "/opt/" + std::string(60, 'g') + "/game";
  const std::string dueDate = std::string(48, '2') + zhong;  // the character would cross byte 49
  settings_test::WriteAll(path, "[AccountConfig]\r\nAccount=" + account + "\r\nPassword=p w\r\n" +
                                    "DueDate=" + dueDate +
                                    "\r\n[HardwareConfig]\r\nProcessIP=" + filter +
                                    "\r\n[HostConfig]\r\nAutostart=1\r\nAutoConnect=1\r\n" +
                                    "network=wan\xE7\xBD\x91|eth0|\r\n");
  settings::MainWindowSettings s = settings::LoadMainWindowSettings(path);
  EXPECT_EQ(s.account, account);  // read whole: a cut account would log in as someone else
  EXPECT_EQ(s.password, "p w");
  EXPECT_EQ(s.dueDate, std::string(48, '2'));
  EXPECT_EQ(s.processFilter, filter);
  EXPECT_EQ(s.autostart, 1);
  EXPECT_EQ(s.autoConnect, 1);
  // Link names are the system's bytes, not GBK: a UTF-8 name of an odd byte count ("wan网")
  // keeps the "|" after it.
  EXPECT_EQ(s.disabledAdapters, (Items{"wan\xE7\xBD\x91", "eth0"}));
  EXPECT_EQ(settings::LoadMainWindowSettings(path).disabledAdapters.size(), 2u);
}

TEST(MainWindowSettings, SavedAccountLoadsBackAndKeepsOtherKeys) {
  TempDir dir;
  std::string path = dir.File("XolConfig.ini");
  ASSERT_TRUE(settings::WriteProfileString(settings::kAccountConfig, settings::kDueDate,
                                           "2030-01-01", path));
  ASSERT_TRUE(settings::WriteProfileInt(settings::kHostConfig, settings::kAutoConnect, 1, path));
  const std::string account = "\xD5\xC5\xC8\xFD" + std::string(55, 'x');  // GBK, 59 bytes
  ASSERT_TRUE(settings::SaveAccount(path, account, "pa|ss=word"));
  settings::MainWindowSettings s = settings::LoadMainWindowSettings(path);
  EXPECT_EQ(s.account, account);
  EXPECT_EQ(s.password, "pa|ss=word");
  EXPECT_EQ(s.dueDate, "2030-01-01");
  EXPECT_EQ(s.autoConnect, 1);
  EXPECT_EQ(settings_test::ReadAll(path),
            "[AccountConfig]\nDueDate=2030-01-01\nAccount=" + account +
                "\nPassword=pa|ss=word\n\n[HostConfig]\nAutoConnect=1\n");
}

TEST(MainWindowSettings, SaveAccountReportsFailure) {
  TempDir dir;
  settings_test::WriteAll(dir.File("plain"), "");
  EXPECT_FALSE(settings::SaveAccount(dir.File("plain/XolConfig.ini"), "a", "b"));
}

}  // namespace
