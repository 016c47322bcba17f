// The notice starts the version check only for an announced version greater than the running
// one, read as a decimal number; an installed program only tells the user to update its package.
// The checks are counted at the stand-in service's update server.
#include <filesystem>
#include <fstream>
#include <memory>

#include "service/service_process.h"
#include "settings/program_dir.h"
#include "support/path_override.h"
#include "update/package_update.h"
#include "update_window_fixture.h"

namespace update_test {
namespace {

constexpr char kVersionFileRequest[] = "GET /xol/xolversion10.6.ini";

class NoticeCheck : public UpdateWindowTest,
                    public ::testing::WithParamInterface<std::pair<const char*, int>> {
 protected:
  static void SetUpTestSuite() {
    serviceDir_ = new TempDir;
    // The service announces the running version: a check it answers offers nothing.
    service_ = new service_test::ServiceProcess(*serviceDir_ / "data");
  }
  static void TearDownTestSuite() {
    delete service_;
    delete serviceDir_;
  }
  void SetUp() override {
    UpdateWindowTest::SetUp();
    ASSERT_TRUE(service_->ready()) << "the stand-in service did not start";
    UseUpdateServer(service_->updateBase(), service_->updateKey());
    // The first notice deletes the shares: a stand-in for Samba's net tool comes first on PATH.
    tools_ = std::make_unique<testsupport::ToolsFirstOnPath>(dir_ + "/bin");
    tools_->AddScript("net", "exit 0\n");
  }
  void TearDown() override {
    tools_.reset();
    UpdateWindowTest::TearDown();
  }

  // The version file requests the service has logged, after every earlier request has been.
  static std::size_t VersionFileRequests() {
    static int sentinel = 0;
    const std::string path = "/xol/sentinel" + std::to_string(++sentinel);
    httplib::Client client(service_->updateBase());
    client.Get(path.c_str());
    service_->WaitForLines([&](const std::string& l) { return l.find(path) != std::string::npos; },
                           1);
    std::size_t n = 0;
    for (const auto& line : service_->Lines()) {
      if (line.find(kVersionFileRequest) != std::string::npos) ++n;
    }
    return n;
  }

  std::unique_ptr<testsupport::ToolsFirstOnPath> tools_;
  static inline TempDir* serviceDir_ = nullptr;
  static inline service_test::ServiceProcess* service_ = nullptr;
};

TEST_P(NoticeCheck, StartsTheCheckOnlyForAGreaterVersion) {
  const auto [announced, checks] = GetParam();
  scriptedApi.Set("getNotice",
                  {200, std::string(R"({"msg":"n","version":")") + announced + R"("})"});
  const std::size_t before = VersionFileRequests();
  RunWindow([&](CTunvikDlg& w) { w.OnTimer(kNoticeTimer); });
  EXPECT_EQ(scriptedApi.Count("getNotice"), 1);
  EXPECT_EQ(VersionFileRequests() - before, static_cast<std::size_t>(checks));
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/verOnline.ini"));
}

INSTANTIATE_TEST_SUITE_P(Announced, NoticeCheck,
                         ::testing::Values(std::pair("10.5", 0), std::pair("10.6", 0),
                                           std::pair("10.10", 0), std::pair("10.7", 1),
                                           std::pair("11", 1)),
                         [](const auto& info) {
                           std::string name = info.param.first;
                           std::replace(name.begin(), name.end(), '.', '_');
                           return name;
                         });

// The window of a program installed under dir_/usr/bin, its install's mark beside it.
class InstalledNoticeCheck : public NoticeCheck {
 protected:
  void SetUp() override {
    NoticeCheck::SetUp();
    bin_ = dir_ + "/usr/bin";
    std::filesystem::create_directories(bin_);
    std::filesystem::create_directories(dir_ + "/usr/share/tunvik");
    std::ofstream(dir_ + "/usr/share/tunvik/installed") << "installed by its package\n";
    settings::SetProgramDirectoryForTesting(bin_);
  }
  std::string bin_;  // set once dir_ is made
};

TEST_F(InstalledNoticeCheck, NewerVersionIsToldAndNothingIsDownloaded) {
  ASSERT_TRUE(settings::IsInstalledProgram());
  scriptedApi.Set("getNotice", {200, R"({"msg":"n","version":"10.7"})"});
  const std::size_t before = VersionFileRequests();
  RunWindow([&](CTunvikDlg& w) {
    w.OnTimer(kNoticeTimer);
    EXPECT_EQ(U(w.GetDlgItemText(IDC_STATUS)),
              "发现新版本 10.7! 请通过系统的软件包管理器更新本程序");
    EXPECT_FALSE(w.updateDialog.HasWindow());
    EXPECT_EQ(U(w.GetWindowText()), "Quoril_v10.6");  // the notice's start-up goes on
  });
  EXPECT_EQ(VersionFileRequests() - before, 0u);
  EXPECT_TRUE(std::filesystem::is_empty(bin_));
}

TEST_F(InstalledNoticeCheck, StaleHandOverMarkDeletesNothingBesideTheProgram) {
  // A settings file copied from a portable copy that was waiting to delete Quoril_10.5.
  const std::string settingsPath = settings::SettingsPath();
  settings::WriteProfileString("HostConfig", "UpdateState", "1", settingsPath);
  settings::WriteProfileString("MAINVER", "mainver", "10.5", settingsPath);
  std::ofstream(bin_ + "/Quoril_10.5") << "a program of someone else";
  RunWindow([&](CTunvikDlg& w) {
    ASSERT_TRUE(w.IsTimerRunning(kUpdateCleanUpTimer));
    w.OnTimer(kUpdateCleanUpTimer);
    EXPECT_FALSE(w.IsTimerRunning(kUpdateCleanUpTimer));
  });
  EXPECT_TRUE(std::filesystem::exists(bin_ + "/Quoril_10.5"));
  EXPECT_EQ(settings::GetProfileString("HostConfig", "UpdateState", "", 9, settingsPath), "0");
}

TEST(PackageUpdateStatus, ShowsOnlyAPlainVersion) {
  struct Case {
    const char* announced;
    const char* shown;
  };
  const Case cases[] = {
      {"10.7", "发现新版本 10.7! 请通过系统的软件包管理器更新本程序"},
      {"11.0.1", "发现新版本 11.0.1! 请通过系统的软件包管理器更新本程序"},
      {"11beta", "发现新版本! 请通过系统的软件包管理器更新本程序"},
      {"1error691", "发现新版本! 请通过系统的软件包管理器更新本程序"},
      {"", "发现新版本! 请通过系统的软件包管理器更新本程序"},
      {"10.7 <script>", "发现新版本! 请通过系统的软件包管理器更新本程序"},
      {"1234567890.1234567890.12345678901", "发现新版本! 请通过系统的软件包管理器更新本程序"},
  };
  for (const Case& c : cases) EXPECT_EQ(U(update::PackageUpdateStatus(c.announced)), c.shown);
}

}  // namespace
}  // namespace update_test
