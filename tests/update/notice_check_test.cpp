// The notice starts the version check only for an announced version greater than the running
// one, read as a decimal number. The checks are counted at the stand-in service's update server.
#include <filesystem>
#include <memory>

#include "service/service_process.h"
#include "support/path_override.h"
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

}  // namespace
}  // namespace update_test
