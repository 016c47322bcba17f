// The drop-target edits and the close-list dialog, with drops synthesized on the offscreen
// platform: CDragEdit on the main window's edit 1002, CDragAddEdit on the dialog's edit 1037,
// the dialog's load and SaveCloseList.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QUrl>

#include "controls/close_thread_dlg.h"
#include "host_window_fixture.h"
#include "settings/profile.h"
#include "settings/program_dir.h"
#include "ui/qt_access.h"

namespace {

namespace t = ui::testing;
using hostwindows_test::G;
using hostwindows_test::HostWindowTest;
using hostwindows_test::U;

using DropTargets = HostWindowTest;
using CloseList = HostWindowTest;

// Drops `urls` where a real drag delivers them: onto the viewport of a multi-line edit.
void DropUrlsOnViewport(ui::Dialog& dialog, int id, const QList<QUrl>& urls) {
  auto* edit = qobject_cast<QPlainTextEdit*>(ui::ControlWidget(dialog, id));
  ASSERT_NE(edit, nullptr);
  QWidget* target = edit->viewport();
  QMimeData data;
  data.setUrls(urls);
  QPoint centre = target->rect().center();
  QDragEnterEvent enter(centre, Qt::CopyAction, &data, Qt::LeftButton, {});
  QCoreApplication::sendEvent(target, &enter);
  QDropEvent drop(QPointF(centre), Qt::CopyAction, &data, Qt::LeftButton, {});
  QCoreApplication::sendEvent(target, &drop);
}

std::string StoredList(const std::string& settingsPath) {
  return settings::GetProfileString("HardwareConfig", "ClosingProcess", "<none>", settings::kWhole,
                                    settingsPath);
}

TEST_F(DropTargets, ProcessEditTakesOnlyTheFirstOfSeveralDroppedFiles) {
  WriteSettings("[HardwareConfig]\nProcessIP=/old/path/old.exe\n");
  CTunvikDlg window;
  const std::string first = "/home/用户/My Games/100% #1/Game.exe";
  t::RunModal(window, [&] {
    EXPECT_EQ(window.GetDlgItemText(IDC_PROCESS_EDIT), "/old/path/old.exe");
    t::DropFiles(window, IDC_PROCESS_EDIT, {first, "/b/second.exe", "/c/third.exe"});
    EXPECT_EQ(U(window.GetDlgItemText(IDC_PROCESS_EDIT)), first);
  });
  // The change notification stored the new filter, in GBK.
  EXPECT_EQ(settings::GetProfileString("HardwareConfig", "ProcessIP", "", settings::kWhole,
                                       SettingsPath()),
            G(first.c_str()));
}

TEST_F(CloseList, StoredListOpensAsLinesAndSavesBackUnchanged) {
  WriteSettings("[HardwareConfig]\nClosingProcess=C:\\a\\x.exe|C:\\b\\y.exe\n");
  CCloseThreadDlg dialog;
  EXPECT_EQ(dialog.listText, "C:\\a\\x.exe\r\nC:\\b\\y.exe");
  EXPECT_EQ(dialog.closeList.accumulatedText, dialog.listText);
  t::RunModal(dialog, [&] {
    EXPECT_EQ(U(dialog.GetWindowText()), "掉线关闭指定进程");
    EXPECT_EQ(dialog.GetDlgItemText(IDC_CLOSE_LIST), "C:\\a\\x.exe\r\nC:\\b\\y.exe");
    t::Click(dialog, IDC_CLOSE_SAVE);
    EXPECT_TRUE(dialog.IsWindowVisible());  // the dialog stays open after a save
    EXPECT_EQ(dialog.GetDlgItemText(IDC_CLOSE_LIST), "C:\\a\\x.exe\r\nC:\\b\\y.exe");
  });
  EXPECT_EQ(StoredList(SettingsPath()), "C:\\a\\x.exe|C:\\b\\y.exe");
  auto shown = boxes.Shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(U(shown[0].text), "保存成功！");
  EXPECT_EQ(shown[0].caption, ui::DefaultCaption());
}

TEST_F(CloseList, ListLongerThan254BytesOpensWhole) {
  std::string list;
  for (int i = 0; i < 14; ++i) list += "/opt/程序" + std::to_string(i) + "/program.exe|";
  const std::string gbk = G(list.c_str());
  ASSERT_GT(gbk.size(), 254u);
  WriteSettings("[HardwareConfig]\nClosingProcess=" + gbk + "\n");
  CCloseThreadDlg dialog;
  EXPECT_EQ(dialog.listText, text::ReplaceAll(gbk, "|", "\r\n"));
}

TEST_F(CloseList, DroppedFilesAreAppendedAsLines) {
  CCloseThreadDlg dialog;
  t::RunModal(dialog, [&] {
    // Two files onto the empty list: two lines, no break after the last.
    t::DropFiles(dialog, IDC_CLOSE_LIST, {"/opt/a/x.exe", "/opt/b/中文 y.exe"});
    EXPECT_EQ(U(dialog.GetDlgItemText(IDC_CLOSE_LIST)), "/opt/a/x.exe\r\n/opt/b/中文 y.exe");
    EXPECT_EQ(dialog.closeList.accumulatedText, dialog.GetDlgItemText(IDC_CLOSE_LIST));

    // Typed text: the next drop goes on a line of its own after it.
    dialog.SetDlgItemText(IDC_CLOSE_LIST, "");
    t::TypeText(dialog, IDC_CLOSE_LIST, "typed");
    EXPECT_EQ(dialog.closeList.accumulatedText, "typed");
    t::DropFiles(dialog, IDC_CLOSE_LIST, {"/opt/c/z.exe"});
    EXPECT_EQ(dialog.GetDlgItemText(IDC_CLOSE_LIST), "typed\r\n/opt/c/z.exe");

    // Where a real drag arrives, the edit's viewport; addresses of no local file are left out,
    // and a drop of none of them changes nothing.
    DropUrlsOnViewport(dialog, IDC_CLOSE_LIST,
                       {QUrl("https://example.com/x.exe"), QUrl::fromLocalFile("/opt/d/w.exe")});
    DropUrlsOnViewport(dialog, IDC_CLOSE_LIST, {QUrl("https://example.com/v.exe")});
    EXPECT_EQ(dialog.GetDlgItemText(IDC_CLOSE_LIST), "typed\r\n/opt/c/z.exe\r\n/opt/d/w.exe");
  });
}

// A path that GBK cannot hold could never name its program: it is refused with a message, and
// the drop's other files are taken.
TEST_F(CloseList, ADroppedPathWithCharactersGbkLacksIsRefusedWithAMessage) {
  CCloseThreadDlg dialog;
  t::RunModal(dialog, [&] {
    t::DropFiles(dialog, IDC_CLOSE_LIST,
                 {"/opt/a/x.exe", "/opt/\xf0\x9f\x98\x80/y.exe", "/opt/raw\xff.exe"});
    EXPECT_EQ(dialog.GetDlgItemText(IDC_CLOSE_LIST), "/opt/a/x.exe");
    ASSERT_TRUE(t::WaitUntil([&] { return boxes.Count() == 1; }));
    EXPECT_EQ(boxes.TextsUtf8().front(),
              "路径中含有系统编码不支持的字符，无法使用以下文件，请改名后再拖入：\n"
              "/opt/?/y.exe\n/opt/raw?.exe");
  });
  CTunvikDlg window;
  boxes.Clear();
  t::RunModal(window, [&] {
    const std::string before = window.GetDlgItemText(IDC_PROCESS_EDIT);
    t::DropFiles(window, IDC_PROCESS_EDIT, {"/opt/\xf0\x9f\x98\x80/game"});
    EXPECT_EQ(window.GetDlgItemText(IDC_PROCESS_EDIT), before);
    EXPECT_TRUE(t::WaitUntil([&] { return boxes.Count() == 1; }));
  });
}

TEST_F(CloseList, SavedValueJoinsTheLinesWithBars) {
  struct Case {
    const char* edit;
    const char* stored;
  };
  const Case cases[] = {
      {"", ""},
      {"/a/x.exe\r\n\r\n/b/y.exe", "/a/x.exe||/b/y.exe"},
      {"/a/x.exe\r\n/b/y.exe\r\n", "/a/x.exe|/b/y.exe|"},
  };
  for (const Case& c : cases) {
    WriteSettings("[HardwareConfig]\nClosingProcess=/old/list.exe\n");
    CCloseThreadDlg dialog;
    t::RunModal(dialog, [&] {
      dialog.SetDlgItemText(IDC_CLOSE_LIST, c.edit);
      dialog.SaveCloseList();
    });
    EXPECT_EQ(StoredList(SettingsPath()), c.stored) << c.edit;
    // Opened again, the list shows the same lines (a trailing bar gives a trailing break).
    CCloseThreadDlg again;
    EXPECT_EQ(again.listText, c.edit);
  }
  EXPECT_EQ(boxes.TextsUtf8(), std::vector<std::string>(std::size(cases), "保存成功！"));
}

TEST_F(CloseList, EnterStartsANewLineAndEscapeClosesTheDialog) {
  CCloseThreadDlg dialog;
  int result = t::RunModal(dialog, [&] {
    t::TypeText(dialog, IDC_CLOSE_LIST, "a");
    t::PressKey(dialog, IDC_CLOSE_LIST, ui::VK_RETURN);
    t::TypeText(dialog, IDC_CLOSE_LIST, "b");
    EXPECT_EQ(dialog.GetDlgItemText(IDC_CLOSE_LIST), "a\r\nb");
    EXPECT_TRUE(dialog.IsWindowVisible());
    t::PressKey(dialog, IDC_CLOSE_LIST, ui::VK_ESCAPE);
    EXPECT_TRUE(t::WaitUntil([&] { return !dialog.HasWindow() || !dialog.IsWindowVisible(); }));
  });
  EXPECT_EQ(result, ui::IDCANCEL);
  EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(CloseList, SaveThatCannotBeWrittenSaysSoAndWritesNothing) {
  // The program folder is a file, so the settings file beside the program cannot be written.
  hosttools_test::WriteAll(dir_ + "/program", "x");
  settings::SetProgramDirectoryForTesting(dir_ + "/program");
  CCloseThreadDlg dialog;
  t::RunModal(dialog, [&] {
    dialog.SetDlgItemText(IDC_CLOSE_LIST, "/a/x.exe");
    t::Click(dialog, IDC_CLOSE_SAVE);
  });
  EXPECT_EQ(boxes.TextsUtf8(), (std::vector<std::string>{"保存失败！"}));
  EXPECT_EQ(hosttools_test::ReadAll(dir_ + "/program").value_or(""), "x");
}

}  // namespace
