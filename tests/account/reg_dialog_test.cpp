// The account dialog's frame: its tabs and captions, the page each tab shows, a fresh dialog on
// every opening, and how it closes (Escape and the close box; not Enter; not in the middle of a
// request).
#include "account_fixture.h"
#include "app/resource.h"
#include "ui/application.h"
#include "ui/constants.h"

namespace {

using accounttest::AccountTest;
namespace t = ui::testing;

std::vector<bool> PagesShown(CRegDialog& dialog) {
  return {dialog.registerPage.IsWindowVisible(), dialog.rechargePage.IsWindowVisible(),
          dialog.passwordPage.IsWindowVisible()};
}

TEST_F(AccountTest, TabsSwitchCaptionAndPage) {
  CRegDialog dialog;
  t::RunModal(dialog, [&] {
    ui::TabControl tabs = dialog.GetTabControl(IDC_REG_TAB);
    ASSERT_EQ(tabs.GetItemCount(), 3);
    EXPECT_EQ(text::GbkToUtf8(tabs.GetItemText(0)), "注册");
    EXPECT_EQ(text::GbkToUtf8(tabs.GetItemText(1)), "充值续费");
    EXPECT_EQ(text::GbkToUtf8(tabs.GetItemText(2)), "修改密码");
    EXPECT_EQ(tabs.GetCurSel(), 0);
    EXPECT_EQ(text::GbkToUtf8(dialog.GetWindowText()), "XOL_VPN 注册");
    EXPECT_EQ(PagesShown(dialog), (std::vector<bool>{true, false, false}));

    // Every page fills the tab control's client area less its frame and the row of tabs.
    ui::Rect area = tabs.GetClientRect();
    const ui::Rect expected{area.left + 1, area.top + 25, area.right - 1, area.bottom - 1};
    EXPECT_EQ(dialog.registerPage.GetWindowRect(), expected);
    EXPECT_EQ(dialog.rechargePage.GetWindowRect(), expected);
    EXPECT_EQ(dialog.passwordPage.GetWindowRect(), expected);

    struct Step {
      int tab;
      const char* caption;
      std::vector<bool> shown;
    };
    for (const Step& step : {Step{1, "XOL_VPN 充值续费", {false, true, false}},
                             Step{2, "XOL_VPN 修改密码", {false, false, true}},
                             Step{0, "XOL_VPN 注册", {true, false, false}},
                             Step{2, "XOL_VPN 修改密码", {false, false, true}}}) {
      t::ClickTab(dialog, IDC_REG_TAB, step.tab);
      EXPECT_EQ(text::GbkToUtf8(dialog.GetWindowText()), step.caption);
      EXPECT_EQ(PagesShown(dialog), step.shown) << step.caption;
    }
  });

  // A new opening starts on the register page with the dialog's own caption and empty edits.
  CRegDialog again;
  t::RunModal(again, [&] {
    EXPECT_EQ(text::GbkToUtf8(again.GetWindowText()), "XOL_VPN 注册");
    EXPECT_EQ(PagesShown(again), (std::vector<bool>{true, false, false}));
    EXPECT_EQ(again.rechargePage.GetDlgItemText(IDC_RECHARGE_USER), "");
    EXPECT_EQ(again.passwordPage.GetDlgItemText(IDC_CHANGE_NEW_PASSWORD), "");
  });
}

TEST_F(AccountTest, EnterKeepsTheDialogOpenAndEscapeClosesIt) {
  CRegDialog dialog;
  t::RunModal(dialog, [&] {
    t::ClickTab(dialog, IDC_REG_TAB, 1);
    Fill(dialog.rechargePage, IDC_RECHARGE_CARD, "TUNVIKDEMOCARD000000000000000001");
    t::PressKey(dialog.rechargePage, IDC_RECHARGE_CARD, ui::VK_RETURN);
    t::ProcessEvents();
    EXPECT_TRUE(dialog.IsWindowVisible());
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_TRUE(primary.Requests().empty());

    t::PressKey(dialog.rechargePage, IDC_RECHARGE_CARD, ui::VK_ESCAPE);
    EXPECT_FALSE(dialog.IsWindowVisible());
  });
}

TEST_F(AccountTest, ClosingDuringARequestWaitsForItsAnswer) {
  primary.Set("changePwd", {200, R"({"code":"204"})", 500});
  CRegDialog dialog;
  UseApis(dialog);
  bool closeAskedDuringRequest = false;
  bool visibleAfterClose = false;
  bool visibleWithAnswer = false;
  t::RunModal(dialog, [&] {
    t::ClickTab(dialog, IDC_REG_TAB, 2);
    Fill(dialog.passwordPage, IDC_CHANGE_USER, "demo");
    Fill(dialog.passwordPage, IDC_CHANGE_SUPER_PASSWORD, "wrong1");
    Fill(dialog.passwordPage, IDC_CHANGE_NEW_PASSWORD, "new123");
    ui::Post([&] {
      closeAskedDuringRequest = dialog.passwordPage.requestTask.Running();
      t::RequestClose(dialog);
      visibleAfterClose = dialog.IsWindowVisible();
    });
    boxes.WhileNextOpen([&] { visibleWithAnswer = dialog.IsWindowVisible(); });
    t::Click(dialog.passwordPage, IDC_CHANGE);
    // The close asked for during the request ends the dialog once the answer has been shown.
    EXPECT_FALSE(dialog.IsWindowVisible());
  });
  EXPECT_TRUE(closeAskedDuringRequest);
  EXPECT_TRUE(visibleAfterClose);
  EXPECT_TRUE(visibleWithAnswer);
  EXPECT_EQ(boxes.TextsUtf8(), std::vector<std::string>{"用户名或超级密码不正确！"});
}

}  // namespace
