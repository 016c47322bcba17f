// The version check against the stand-in service's update server on loopback: which versions
// are offered, what Cancel leaves behind, the hand-over after a good download, and the refusal
// of files whose signature is wrong or missing.
#include <filesystem>
#include <map>
#include <memory>

#include "service/service_process.h"
#include "update_window_fixture.h"

namespace update_test {
namespace {

constexpr char kContent[] = "修复若干问题，连接更稳定";

class VersionCheck : public UpdateWindowTest {
 protected:
  // Starts the stand-in service announcing `version`, with `programs` (name, contents) in its
  // updates folder, and points the client at its update server and key.
  void StartService(const std::string& version,
                    const std::map<std::string, std::string>& programs = {}) {
    data_ = serviceDir_ / "data";
    std::filesystem::create_directories(data_ + "/updates");
    WriteFile(data_ + "/notice.json", R"({"msg":"欢迎使用","version":")" + version +
                                          R"(","content":")" + kContent + R"("})");
    for (const auto& [name, contents] : programs) WriteFile(data_ + "/updates/" + name, contents);
    service_ = std::make_unique<service_test::ServiceProcess>(data_);
    ASSERT_TRUE(service_->ready()) << "the stand-in service did not start";
    UseUpdateServer(service_->updateBase(), service_->updateKey());
  }

  std::string Updates(const std::string& name) const { return data_ + "/updates/" + name; }
  std::string Marker() const { return outside / "ran.log"; }

  TempDir serviceDir_;
  std::string data_;
  std::unique_ptr<service_test::ServiceProcess> service_;
};

struct Offer {
  const char* version;
  bool offered;
};

class Offers : public VersionCheck, public ::testing::WithParamInterface<Offer> {};

TEST_P(Offers, GreaterVersionsAreOfferedAndCancelLeavesNothingBehind) {
  const Offer offer = GetParam();
  StartService(offer.version);
  WriteSettings("[AccountConfig]\nAccount=demo\n");
  const std::string settingsBefore = ReadSettings();
  DialogState offered;
  RunWindow([&](CTunvikDlg& w) {
    const std::set<std::string> namesBefore = Names(dir_);
    WhileDialogOpen script(w.updateDialog, [&](CVerCheck& dialog) {
      offered = StateOf(dialog);
      ClickFromScript(dialog, ui::IDCANCEL);
    });
    RunCheck(w);
    script.Stop();
    EXPECT_EQ(script.opened(), offer.offered);
    EXPECT_TRUE(w.IsWindowVisible()) << "the window stays open";
    EXPECT_EQ(Names(dir_), namesBefore) << "the version file is deleted, nothing is downloaded";
  });
  if (offer.offered) {
    EXPECT_EQ(offered.text, kContent);
    EXPECT_TRUE(offered.textShown);
    EXPECT_TRUE(offered.downloadEnabled);
    EXPECT_TRUE(offered.cancelEnabled);
    EXPECT_FALSE(offered.spinnerShown);
  }
  EXPECT_EQ(ReadSettings(), settingsBefore);
}

INSTANTIATE_TEST_SUITE_P(Versions, Offers,
                         ::testing::Values(Offer{"10.7", true}, Offer{"10.10", false},
                                           Offer{"10.6", false}, Offer{"11beta", true}),
                         [](const auto& info) {
                           std::string name = info.param.version;
                           std::replace(name.begin(), name.end(), '.', '_');
                           return name;
                         });

class GoodDownload : public VersionCheck, public ::testing::WithParamInterface<const char*> {};

TEST_P(GoodDownload, HandsOverToTheNewProgramAndCloses) {
  const std::string version = GetParam();
  const std::string program = RecordingProgram(Marker());
  StartService(version, {{"Quoril_" + version, program}});
  auto stopEvent = std::make_shared<vpn::Event>();
  RunWindow([&](CTunvikDlg& w) {
    w.stopEvent = stopEvent;
    WhileDialogOpen script(w.updateDialog,
                           [&](CVerCheck& dialog) { ClickFromScript(dialog, IDC_DOWNLOAD); });
    RunCheck(w);
    script.Stop();
    EXPECT_TRUE(script.opened());
    EXPECT_TRUE(t::WaitUntil([&] { return !w.IsWindowVisible(); })) << "the window closes";
  });
  const std::string installed = dir_ + "/Quoril_" + version;
  EXPECT_EQ(ReadFile(installed), program);
  EXPECT_EQ(Mode(installed), 0755u);
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/verOnline.ini"));
  EXPECT_EQ(Setting("HostConfig", "UpdateState"), "1");
  EXPECT_EQ(Setting("MAINVER", "mainver"), "10.6");
  EXPECT_TRUE(Eventually([&] { return ReadFile(Marker()) == installed + "\n"; }))
      << "the new program runs, started by its full path";
  EXPECT_TRUE(stopEvent->Wait(std::chrono::milliseconds(0))) << "the connection is told to stop";
}

INSTANTIATE_TEST_SUITE_P(Versions, GoodDownload, ::testing::Values("10.7", "11beta"),
                         [](const auto& info) {
                           std::string name = info.param;
                           std::replace(name.begin(), name.end(), '.', '_');
                           return name;
                         });

enum class Spoil { kTampered, kNoSignature, kNoKey };

class RefusedDownload : public VersionCheck, public ::testing::WithParamInterface<Spoil> {};

TEST_P(RefusedDownload, ShowsTheFailureAndStartsNothing) {
  const std::string program = RecordingProgram(Marker());
  StartService("10.7", {{"Quoril_10.7", program}});
  switch (GetParam()) {
    case Spoil::kTampered:  // changed after the service signed it
      WriteFile(Updates("Quoril_10.7"), program + "echo tampered\n");
      break;
    case Spoil::kNoSignature:
      std::filesystem::remove(Updates("Quoril_10.7.sig"));
      break;
    case Spoil::kNoKey:
      UseUpdateServer(service_->updateBase(), "");
      break;
  }
  WriteSettings("[AccountConfig]\nAccount=demo\n");
  const std::string settingsBefore = ReadSettings();
  DialogState failed;
  bool downloadEnded = false;
  RunWindow([&](CTunvikDlg& w) {
    const std::set<std::string> namesBefore = Names(dir_);
    WhileDialogOpen script(w.updateDialog, [&](CVerCheck& dialog) {
      ClickFromScript(dialog, IDC_DOWNLOAD);
      downloadEnded = Eventually([&] { return !dialog.Downloading(); });
      failed = StateOf(dialog);
      ClickFromScript(dialog, ui::IDCANCEL);
    });
    RunCheck(w);
    script.Stop();
    EXPECT_TRUE(w.IsWindowVisible()) << "the old program keeps running";
    EXPECT_EQ(Names(dir_), namesBefore) << "no program file, no half download";
  });
  ASSERT_TRUE(downloadEnded);
  EXPECT_EQ(failed.text, "下载失败! 请联系客服获取最新版本");
  EXPECT_TRUE(failed.textShown);
  EXPECT_FALSE(failed.downloadEnabled);
  EXPECT_TRUE(failed.cancelEnabled);
  EXPECT_FALSE(failed.spinnerShown);
  EXPECT_FALSE(failed.spinnerTurning);
  EXPECT_EQ(ReadSettings(), settingsBefore);
  EXPECT_FALSE(std::filesystem::exists(Marker())) << "nothing was started";
}

INSTANTIATE_TEST_SUITE_P(Spoiled, RefusedDownload,
                         ::testing::Values(Spoil::kTampered, Spoil::kNoSignature, Spoil::kNoKey),
                         [](const auto& info) {
                           switch (info.param) {
                             case Spoil::kTampered:
                               return "Tampered";
                             case Spoil::kNoSignature:
                               return "NoSignature";
                             case Spoil::kNoKey:
                               return "NoKey";
                           }
                           return "";
                         });

TEST_F(VersionCheck, UnreachableUpdateServerEndsTheCheckSilently) {
  UseUpdateServer("http://127.0.0.1:1", "");
  RunWindow([&](CTunvikDlg& w) {
    const std::set<std::string> namesBefore = Names(dir_);
    WhileDialogOpen script(w.updateDialog,
                           [&](CVerCheck& dialog) { ClickFromScript(dialog, ui::IDCANCEL); });
    RunCheck(w);
    script.Stop();
    EXPECT_FALSE(script.opened());
    EXPECT_EQ(Names(dir_), namesBefore);
  });
  EXPECT_EQ(boxes.Count(), 0u);
}

}  // namespace
}  // namespace update_test
