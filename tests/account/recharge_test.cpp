// The recharge page against scripted APIs: the message of each code, the emptied card number, the
// follow-up to the base that answered, both attempts failed, and the button while the request
// runs in the background.
#include "account_fixture.h"
#include "app/resource.h"
#include "ui/application.h"

namespace {

using accounttest::AccountTest;
namespace t = ui::testing;

constexpr const char* kCard = "TUNVIKDEMOCARD000000000000000001";

class RechargePage : public AccountTest {
 protected:
  // Opens the dialog on the recharge page with a filled form, runs `body`, closes it.
  template <typename Body>
  void WithFilledForm(Body body) {
    CRegDialog dialog;
    UseApis(dialog);
    t::RunModal(dialog, [&] {
      t::ClickTab(dialog, IDC_REG_TAB, 1);
      CAccountPara2& page = dialog.rechargePage;
      Fill(page, IDC_RECHARGE_USER, "demo");
      Fill(page, IDC_RECHARGE_PASSWORD, "demo123");
      Fill(page, IDC_RECHARGE_CARD, kCard);
      body(dialog, page);
    });
  }
  static std::string FollowUpBody() {
    return "{\n   \"name\" : \"demo\",\n   \"password\" : \"demo123\"\n}\n";
  }
};

TEST_F(RechargePage, SuccessFromTheFallbackEmptiesOnlyTheCardAndRefreshesThere) {
  primary.Set("recharge", {500, R"({"code":"200"})"});
  fallback.Set("recharge", {200, R"({"code":"200"})"});
  fallback.Set("freshikuai", {200, "{}"});
  int followUpsWhileBoxOpen = -1;
  std::string cardWhileBoxOpen;
  WithFilledForm([&](CRegDialog&, CAccountPara2& page) {
    boxes.WhileNextOpen([&] {
      followUpsWhileBoxOpen = fallback.Count("freshikuai");
      cardWhileBoxOpen = page.GetDlgItemText(IDC_RECHARGE_CARD);
    });
    t::Click(page, IDC_RECHARGE);
    EXPECT_EQ(TextUtf8(page, IDC_RECHARGE_USER), "demo");
    EXPECT_EQ(TextUtf8(page, IDC_RECHARGE_PASSWORD), "demo123");
    EXPECT_EQ(TextUtf8(page, IDC_RECHARGE_CARD), "");
    EXPECT_TRUE(page.IsDlgItemEnabled(IDC_RECHARGE));
  });
  EXPECT_EQ(boxes.TextsUtf8(), std::vector<std::string>{"充值成功！"});
  // The follow-up goes out after the message has been closed, once, to the fallback only.
  EXPECT_EQ(followUpsWhileBoxOpen, 0);
  EXPECT_EQ(cardWhileBoxOpen, kCard);
  EXPECT_EQ(primary.Count("recharge"), 1);
  EXPECT_EQ(primary.Count("freshikuai"), 0);
  ASSERT_EQ(fallback.Requests().size(), 2u);
  EXPECT_EQ(fallback.Requests()[0].endpoint, "recharge");
  EXPECT_EQ(fallback.Requests()[0].body,
            std::string("{\n   \"card_no\" : \"") + kCard +
                "\",\n   \"name\" : \"demo\",\n   \"password\" : \"demo123\"\n}\n");
  EXPECT_EQ(fallback.Requests()[1].endpoint, "freshikuai");
  EXPECT_EQ(fallback.Requests()[1].body, FollowUpBody());
}

TEST_F(RechargePage, SuccessFromThePrimaryRefreshesThePrimaryWhateverTheFollowUpAnswers) {
  primary.Set("recharge", {200, R"({"code":"200"})"});
  primary.Set("freshikuai", {500, "oops"});
  WithFilledForm([&](CRegDialog&, CAccountPara2& page) { t::Click(page, IDC_RECHARGE); });
  EXPECT_EQ(boxes.TextsUtf8(), std::vector<std::string>{"充值成功！"});
  EXPECT_EQ(primary.Count("freshikuai"), 1);  // no fallback attempt for the follow-up
  EXPECT_TRUE(fallback.Requests().empty());
}

TEST_F(RechargePage, OtherAnswersShowTheirMessageAndKeepTheForm) {
  struct Case {
    int status;
    const char* body;
    const char* message;
  };
  const Case cases[] = {
      {200, R"({"code":"201"})", "用户名或密码不正确！"},
      {200, R"({"code":"205"})", "卡号不存在或已被使用！"},
      {200, R"({"code":"200 "})", "充值失败，请稍后重试！"},
      {200, R"({"code":200})", "充值失败，请稍后重试！"},
      {200, "{\n\"code\":\"200\"}", "充值失败，请稍后重试！"},
      {200, "<html>", "充值失败，请稍后重试！"},
      {200, "", "充值失败，请稍后重试！"},
  };
  WithFilledForm([&](CRegDialog&, CAccountPara2& page) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.body);
      primary.Set("recharge", {c.status, c.body});
      boxes.Clear();
      t::Click(page, IDC_RECHARGE);
      EXPECT_EQ(boxes.TextsUtf8(), std::vector<std::string>{c.message});
      EXPECT_EQ(TextUtf8(page, IDC_RECHARGE_CARD), kCard);
    }
  });
  EXPECT_EQ(primary.Count("freshikuai") + fallback.Count("freshikuai"), 0);
}

TEST_F(RechargePage, BothAttemptsFailedShowsNothingAndKeepsTheForm) {
  // A 500 whose body reads as success still counts as a failed attempt.
  primary.Set("recharge", {500, R"({"code":"200"})"});
  fallback.Set("recharge", {503, R"({"code":"200"})"});
  WithFilledForm([&](CRegDialog&, CAccountPara2& page) {
    t::Click(page, IDC_RECHARGE);
    EXPECT_EQ(TextUtf8(page, IDC_RECHARGE_USER), "demo");
    EXPECT_EQ(TextUtf8(page, IDC_RECHARGE_PASSWORD), "demo123");
    EXPECT_EQ(TextUtf8(page, IDC_RECHARGE_CARD), kCard);
    EXPECT_TRUE(page.IsDlgItemEnabled(IDC_RECHARGE));
  });
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_EQ(primary.Count("recharge"), 1);
  EXPECT_EQ(fallback.Count("recharge"), 1);
  EXPECT_EQ(primary.Count("freshikuai") + fallback.Count("freshikuai"), 0);
}

TEST_F(RechargePage, ButtonStaysDisabledWhileTheDialogKeepsReactingDuringTheRequest) {
  primary.Set("recharge", {200, R"({"code":"205"})", 400});
  bool running = false, enabledDuringRequest = true, clickedAgain = false;
  std::string captionDuringRequest;
  WithFilledForm([&](CRegDialog& dialog, CAccountPara2& page) {
    ui::Post([&] {
      running = page.requestTask.Running();
      enabledDuringRequest = page.IsDlgItemEnabled(IDC_RECHARGE);
      t::Click(page, IDC_RECHARGE);  // a disabled button takes no click
      clickedAgain = primary.Count("recharge") > 1;
      t::ClickTab(dialog, IDC_REG_TAB, 2);
      captionDuringRequest = text::GbkToUtf8(dialog.GetWindowText());
    });
    t::Click(page, IDC_RECHARGE);
    EXPECT_TRUE(page.IsDlgItemEnabled(IDC_RECHARGE));
  });
  EXPECT_TRUE(running);
  EXPECT_FALSE(enabledDuringRequest);
  EXPECT_FALSE(clickedAgain);
  EXPECT_EQ(captionDuringRequest, "XOL_VPN 修改密码");
  EXPECT_EQ(primary.Count("recharge"), 1);
  EXPECT_EQ(boxes.TextsUtf8(), std::vector<std::string>{"卡号不存在或已被使用！"});
}

}  // namespace
