// The update dialog while its download runs, against an update server of the test's own that
// holds the program file back: the spinner turns, the dialog cannot be left, and a dialog object
// that goes away stops its download. Also a new program that cannot be started.
#include <filesystem>

#include "update_window_fixture.h"

namespace update_test {
namespace {

constexpr char kVersionPath[] = "/xol/xolversion10.6.ini";
constexpr char kProgramPath[] = "/xol/Quoril_10.7";

class Downloading : public UpdateWindowTest {
 protected:
  // Offers 10.7 with `program`, signed with the test's key.
  void Offer(const std::string& program) {
    server.Put(kVersionPath, "[MAINVER]\r\nmainver=10.7\r\ncontent=new\r\nnewverurl=" +
                                 server.Url(kProgramPath) + "\r\n");
    server.Put(kProgramPath, program);
    server.Put(std::string(kProgramPath) + ".sig", key.SignatureText(program));
    UseUpdateServer(server.Origin(), key.PublicKey());
  }
  int Phase(CVerCheck& dialog) {
    int phase = 0;
    ui::Invoke([&] { phase = dialog.spinner.Phase(); });
    return phase;
  }

  FileServer server;
  SigningKey key;
};

TEST_F(Downloading, SpinnerTurnsAndTheDialogStaysUntilTheFileHasArrived) {
  const std::string marker = outside / "ran.log";
  Offer(RecordingProgram(marker));
  server.Hold(kProgramPath);
  DialogState during;
  bool turned = false, stayedOpen = false;
  RunWindow([&](CTunvikDlg& w) {
    WhileDialogOpen script(w.updateDialog, [&](CVerCheck& dialog) {
      ClickFromScript(dialog, IDC_DOWNLOAD);
      if (!Eventually([&] { return server.Requests(kProgramPath) == 1; })) {
        ADD_FAILURE() << "the program file was never asked for";
        server.Release();
        return;
      }
      during = StateOf(dialog);
      const int phase = Phase(dialog);
      turned = Eventually([&] { return Phase(dialog) != phase; });
      ui::Invoke([&] {
        t::PressKey(dialog, 0, ui::VK_ESCAPE);
        t::RequestClose(dialog);
      });
      stayedOpen = dialog.HasWindow() && dialog.Downloading();
      server.Release();
    });
    RunCheck(w);
    script.Stop();
    EXPECT_TRUE(t::WaitUntil([&] { return !w.IsWindowVisible(); }));
  });
  EXPECT_FALSE(during.textShown);
  EXPECT_FALSE(during.downloadEnabled);
  EXPECT_FALSE(during.cancelEnabled);
  EXPECT_TRUE(during.spinnerShown);
  EXPECT_TRUE(during.spinnerTurning);
  EXPECT_TRUE(turned) << "the spinner's timer steps the pattern";
  EXPECT_TRUE(stayedOpen) << "Escape and the title bar do not leave a running download";
  EXPECT_EQ(Setting("HostConfig", "UpdateState"), "1");
  EXPECT_TRUE(Eventually([&] { return ReadFile(marker) == dir_ + "/Quoril_10.7\n"; }));
}

TEST_F(Downloading, DialogThatGoesAwayStopsItsDownload) {
  Offer("program");
  server.Hold(kProgramPath);
  // The version file the dialog reads, as the check leaves it while the dialog is open.
  WriteFile(dir_ + "/verOnline.ini",
            "[MAINVER]\r\nmainver=10.7\r\nnewverurl=" + server.Url(kProgramPath) + "\r\n");
  {
    CVerCheck dialog;
    t::RunModal(dialog, [&] {
      t::Click(dialog, IDC_DOWNLOAD);
      EXPECT_TRUE(t::WaitUntil([&] { return server.Requests(kProgramPath) == 1; }));
    });
    EXPECT_TRUE(dialog.Downloading());
  }  // the destructor stops the transfer that waits for the held answer, and waits for it
  EXPECT_EQ(Names(dir_).count("Quoril_10.7"), 0u);
  for (const std::string& name : Names(dir_)) EXPECT_EQ(name.find(".part"), std::string::npos);
}

TEST_F(Downloading, NewProgramThatCannotStartKeepsTheOldOneRunning) {
  Offer("this is no program\n");
  WriteSettings("[AccountConfig]\nAccount=demo\n");
  RunWindow([&](CTunvikDlg& w) {
    WhileDialogOpen script(w.updateDialog,
                           [&](CVerCheck& dialog) { ClickFromScript(dialog, IDC_DOWNLOAD); });
    RunCheck(w);
    script.Stop();
    t::ProcessEvents(100);
    EXPECT_TRUE(w.IsWindowVisible());
  });
  EXPECT_EQ(boxes.TextsUtf8(), std::vector<std::string>{"新版本启动失败! 请联系客服获取最新版本"});
  EXPECT_EQ(Setting("HostConfig", "UpdateState"), "0") << "no clean-up waits for a new program";
}

}  // namespace
}  // namespace update_test
