// The dialog layer: templates, controls by identifier, data exchange, timers, message boxes,
// the key filter and the close request, driven through real widgets on the offscreen platform.
#include <gtest/gtest.h>

#include <atomic>

#include <thread>

#include "test_dialog.h"
#include "text/gbk.h"
#include "ui/application.h"
#include "ui/background_task.h"
#include "ui/message_box.h"
#include "ui/testing.h"

namespace {

using namespace uitest;
namespace t = ui::testing;

class DialogLayer : public ::testing::Test {
 protected:
  void SetUp() override { t::EnsureApplication(); }
  t::ScriptedMessageBoxes boxes;
};

TEST_F(DialogLayer, ControlsByIdentifierReadAndWriteGbk) {
  TestDialog dialog;
  t::RunModal(dialog, [&] {
    const std::string zhong = text::Utf8ToGbk("中文");
    dialog.SetDlgItemText(IDC_EDIT, zhong);
    EXPECT_EQ(dialog.GetDlgItemText(IDC_EDIT), zhong);
    EXPECT_EQ(text::GbkToUtf8(dialog.GetDlgItemText(IDC_BUTTON)), "按钮");
    dialog.SetDlgItemText(IDC_MULTI, "a\r\nb");
    EXPECT_EQ(dialog.GetDlgItemText(IDC_MULTI), "a\r\nb");
    dialog.EnableDlgItem(IDC_BUTTON, false);
    EXPECT_FALSE(dialog.IsDlgItemEnabled(IDC_BUTTON));
    dialog.ShowDlgItem(IDC_LABEL, false);
    EXPECT_FALSE(dialog.IsDlgItemVisible(IDC_LABEL));
    EXPECT_EQ(dialog.GetDlgItemText(4242), "");  // no such control
  });
  // Without a window every operation is harmless and reads empty.
  EXPECT_EQ(dialog.GetDlgItemText(IDC_EDIT), "");
  EXPECT_FALSE(dialog.HasWindow());
}

TEST_F(DialogLayer, DataExchangeMovesAllValuesBothWays) {
  TestDialog dialog;
  dialog.editText = "abc";
  dialog.checked = 1;
  dialog.radio = 1;
  t::RunModal(dialog, [&] {
    // OnInitDialog showed the members.
    EXPECT_EQ(dialog.GetDlgItemText(IDC_EDIT), "abc");
    EXPECT_EQ(dialog.IsDlgButtonChecked(IDC_CHECK), ui::BST_CHECKED);
    EXPECT_EQ(dialog.GetCheckedRadioButton(IDC_RADIO_A, IDC_RADIO_B), IDC_RADIO_B);

    t::TypeText(dialog, IDC_EDIT, "de");
    t::Click(dialog, IDC_CHECK);
    t::Click(dialog, IDC_RADIO_A);
    dialog.UpdateData(true);
    EXPECT_EQ(dialog.editText, "abcde");
    EXPECT_EQ(dialog.checked, 0);
    EXPECT_EQ(dialog.radio, 0);

    // A group with no radio checked reads as -1.
    dialog.CheckRadioButton(IDC_RADIO_A, IDC_RADIO_B, 0);
    dialog.UpdateData(true);
    EXPECT_EQ(dialog.radio, -1);
  });
}

TEST_F(DialogLayer, NotificationsReachTheMessageMap) {
  TestDialog dialog;
  int clicks = 0, changes = 0, tabChanges = 0;
  std::vector<int> rows;
  dialog.OnClicked(IDC_BUTTON, [&] { ++clicks; });
  dialog.OnChanged(IDC_EDIT, [&] { ++changes; });
  dialog.OnSelChange(IDC_TAB, [&] { ++tabChanges; });
  dialog.OnItemClick(IDC_LIST, [&](int row) { rows.push_back(row); });
  t::RunModal(dialog, [&] {
    t::Click(dialog, IDC_BUTTON);
    t::TypeText(dialog, IDC_EDIT, "x");
    dialog.SetDlgItemText(IDC_EDIT, "y");  // a program's change notifies too
    auto tab = dialog.GetTabControl(IDC_TAB);
    tab.InsertItem(0, "a");
    tab.InsertItem(1, "b");
    tab.SetCurSel(0);
    t::ClickTab(dialog, IDC_TAB, 1);
    EXPECT_EQ(tab.GetCurSel(), 1);
    auto list = dialog.GetListView(IDC_LIST);
    list.InsertColumn(0, "c", ui::ColumnFormat::kCentre, 60, 0);
    list.InsertItem(0, "r0");
    list.InsertItem(1, "r1");
    t::ClickListRow(dialog, IDC_LIST, 1);
    t::ClickListRow(dialog, IDC_LIST, -1);
  });
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(changes, 2);
  EXPECT_EQ(tabChanges, 1);
  EXPECT_EQ(rows, (std::vector<int>{1, -1}));
}

TEST_F(DialogLayer, ListViewRowsColumnsAndSubItems) {
  TestDialog dialog;
  t::RunModal(dialog, [&] {
    auto list = dialog.GetListView(IDC_LIST);
    list.SetExtendedStyle(list.GetExtendedStyle() | ui::LVS_EX_GRIDLINES |
                          ui::LVS_EX_FULLROWSELECT);
    EXPECT_EQ(list.GetExtendedStyle(), 0x21u);
    EXPECT_EQ(list.InsertColumn(0, "PID", ui::ColumnFormat::kCentre, 50, 0), 0);
    EXPECT_EQ(list.InsertColumn(1, "name", ui::ColumnFormat::kCentre, 133, 1), 1);
    EXPECT_EQ(list.GetColumnWidth(1), 133);
    EXPECT_EQ(list.InsertItem(0, "1"), 0);
    EXPECT_EQ(list.InsertItem(5, "2"), 1);  // clamped to the end
    EXPECT_TRUE(list.SetItemText(1, 1, "two"));
    EXPECT_FALSE(list.SetItemText(2, 0, "none"));
    EXPECT_EQ(list.GetItemText(1, 1), "two");
    EXPECT_EQ(list.GetItemCount(), 2);
    list.DeleteAllItems();
    EXPECT_EQ(list.GetItemCount(), 0);
  });
}

TEST_F(DialogLayer, TimersAreVisibleAndTick) {
  struct TimerDialog : TestDialog {
    int ticks = 0;
    void OnTimer(int id) override {
      if (id == 7) ++ticks;
    }
  } dialog;
  t::RunModal(dialog, [&] {
    dialog.SetTimer(7, 10);
    dialog.SetTimer(8, 5000);
    dialog.SetTimer(8, 3000);  // replaces
    EXPECT_EQ(dialog.RunningTimers(), (std::map<int, int>{{7, 10}, {8, 3000}}));
    EXPECT_TRUE(t::WaitUntil([&] { return dialog.ticks >= 2; }));
    ui::TaskKind kind;
    ui::RunBackgroundTask(kind, [&] { dialog.KillTimer(7); });  // from another thread
    EXPECT_EQ(dialog.RunningTimers(), (std::map<int, int>{{8, 3000}}));
  });
}

TEST_F(DialogLayer, TicksGoOnInsideAnEarlierTicksMessageBox) {
  // The first tick of timer 7 opens a box; while it is open, timer 7 keeps ticking (nested in
  // the box), and a tick still queued when the timer is killed is dropped.
  struct TimerDialog : TestDialog {
    std::atomic<int> ticks{0};
    void OnTimer(int id) override {
      if (id != 7) return;
      if (++ticks == 1) MessageBox("opened from a tick");
    }
  } dialog;
  int ticksWhileOpen = 0;
  boxes.WhileNextOpen([&] {
    t::WaitUntil([&] { return dialog.ticks >= 4; }, 10000);
    ticksWhileOpen = dialog.ticks - 1;
  });
  t::RunModal(dialog, [&] {
    dialog.SetTimer(7, 5);
    EXPECT_TRUE(t::WaitUntil([&] { return boxes.Count() == 1 && ticksWhileOpen > 0; }, 10000));
    dialog.KillTimer(7);
    const int ticks = dialog.ticks;
    t::ProcessEvents(50);
    EXPECT_EQ(dialog.ticks, ticks);
  });
  EXPECT_GE(ticksWhileOpen, 3);
  EXPECT_EQ(boxes.Count(), 1u);
}

TEST_F(DialogLayer, OnlyAKnownProgramExtensionLeavesTheCaption) {
  struct Case {
    const char* path;
    const char* caption;
  };
  for (const Case& c :
       {Case{"/opt/q/Quoril_10.6", "Quoril_10.6"}, Case{"/opt/q/Quoril.exe", "Quoril"},
        Case{"/opt/q/tunvik.BIN", "tunvik"}, Case{"tunvik", "tunvik"},
        Case{"/x/.hidden", ".hidden"}, Case{"/x/a.b.exe", "a.b"}}) {
    EXPECT_EQ(ui::ProgramCaption(c.path), c.caption) << c.path;
  }
}

TEST_F(DialogLayer, MessageBoxesCarryTheProgramNameUnlessCaptioned) {
  TestDialog dialog;
  boxes.QueueAnswer(ui::IDOK);
  boxes.QueueAnswer(ui::IDYES);
  t::RunModal(dialog, [&] {
    EXPECT_EQ(dialog.MessageBox("hello"), ui::IDOK);
    EXPECT_EQ(dialog.MessageBox("sure?", "ask", ui::MB_YESNO), ui::IDYES);
    EXPECT_EQ(dialog.MessageBox("again?", "ask", ui::MB_YESNO), ui::IDNO);
  });
  auto shown = boxes.Shown();
  ASSERT_EQ(shown.size(), 3u);
  EXPECT_EQ(shown[0].caption, "ui_tests");
  EXPECT_EQ(shown[0].type, ui::MB_OK);
  EXPECT_EQ(text::GbkToUtf8(shown[0].ownerTitle), "测试");
  EXPECT_EQ(shown[1].caption, "ask");
}

TEST_F(DialogLayer, EnterAndEscapeEndTheRunUnlessTheWindowConsumesThem) {
  TestDialog plain;
  EXPECT_EQ(t::RunModal(plain, [&] { t::PressKey(plain, IDC_EDIT, ui::VK_RETURN); }), ui::IDOK);
  EXPECT_EQ(t::RunModal(plain, [&] { t::PressKey(plain, IDC_EDIT, ui::VK_ESCAPE); }), ui::IDCANCEL);

  struct Filtering : TestDialog {
    std::vector<int> seen;
    bool PreTranslateMessage(int key) override {
      seen.push_back(key);
      return key == ui::VK_RETURN || key == ui::VK_ESCAPE;
    }
  } filtering;
  int result = t::RunModal(filtering, [&] {
    t::PressKey(filtering, IDC_EDIT, ui::VK_RETURN);
    t::PressKey(filtering, IDC_EDIT, ui::VK_ESCAPE);
    t::TypeText(filtering, IDC_EDIT, "k");
    EXPECT_TRUE(filtering.HasWindow());
    EXPECT_EQ(filtering.GetDlgItemText(IDC_EDIT), "k");
    filtering.EndDialog(42);
  });
  EXPECT_EQ(result, 42);
  EXPECT_EQ(filtering.seen.size(), 3u);
}

TEST_F(DialogLayer, CloseRequestAndContextMenuGoToSysCommand) {
  struct Commands : TestDialog {
    std::vector<unsigned> commands;
    void OnSysCommand(unsigned id) override {
      commands.push_back(id);
      if (id == ui::SC_CLOSE) return;  // refuse to close
      TestDialog::OnSysCommand(id);
    }
  } dialog;
  dialog.AppendSystemMenuItem(0, "");
  dialog.AppendSystemMenuItem(16, text::Utf8ToGbk("关于"));
  t::RunModal(dialog, [&] {
    t::RequestClose(dialog);
    EXPECT_TRUE(dialog.HasWindow());
    t::ChooseSystemMenuItem(dialog, 16);
    EXPECT_EQ(t::SystemMenuTextsUtf8(dialog), (std::vector<std::string>{"", "关于"}));
  });
  EXPECT_EQ(dialog.commands, (std::vector<unsigned>{ui::SC_CLOSE, 16}));
}

TEST_F(DialogLayer, PostCloseEndsTheRunAfterTheHandler) {
  TestDialog dialog;
  bool afterPost = false;
  int result = t::RunModal(dialog, [&] {
    dialog.PostClose();
    afterPost = dialog.IsWindowVisible();
    EXPECT_TRUE(t::WaitUntil([&] { return !dialog.IsWindowVisible(); }));
  });
  EXPECT_TRUE(afterPost);
  EXPECT_EQ(result, ui::IDCANCEL);
}

}  // namespace
