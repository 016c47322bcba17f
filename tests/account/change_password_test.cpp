// The change-password page against scripted APIs: the request body, the message of each code,
// the fallback, and both attempts failed.
#include "account_fixture.h"
#include "app/resource.h"

namespace {

using accounttest::AccountTest;
namespace t = ui::testing;

class ChangePasswordPage : public AccountTest {
 protected:
  template <typename Body>
  void WithFilledForm(Body body) {
    CRegDialog dialog;
    UseApis(dialog);
    t::RunModal(dialog, [&] {
      t::ClickTab(dialog, IDC_REG_TAB, 2);
      CAccountPara3& page = dialog.passwordPage;
      Fill(page, IDC_CHANGE_USER, "demo");
      Fill(page, IDC_CHANGE_SUPER_PASSWORD, "super123");
      Fill(page, IDC_CHANGE_NEW_PASSWORD, "new123");
      body(page);
    });
  }
};

TEST_F(ChangePasswordPage, EachAnswerShowsItsMessage) {
  struct Case {
    int primaryStatus;
    const char* body;  // the answering base's body
    const char* message;
  };
  const Case cases[] = {
      {200, R"({"code":"200"})", "修改成功！"},
      {500, R"({"code":"200"})", "修改成功！"},  // from the fallback
      {200, R"({"code":"203"})", "修改密码失败！"},
      {200, R"({"code":"204"})", "用户名或超级密码不正确！"},
      {200, R"({"code":"201"})", "修改失败，请稍后重试！"},
      {200, R"({"msg":"no code"})", "修改失败，请稍后重试！"},
      {200, "not json", "修改失败，请稍后重试！"},
  };
  WithFilledForm([&](CAccountPara3& page) {
    for (const Case& c : cases) {
      SCOPED_TRACE(c.body);
      primary.Set("changePwd", {c.primaryStatus, c.body});
      fallback.Set("changePwd", {200, c.body});
      boxes.Clear();
      t::Click(page, IDC_CHANGE);
      EXPECT_EQ(boxes.TextsUtf8(), std::vector<std::string>{c.message});
      EXPECT_TRUE(page.IsDlgItemEnabled(IDC_CHANGE));
      EXPECT_EQ(TextUtf8(page, IDC_CHANGE_NEW_PASSWORD), "new123");
    }
  });
  EXPECT_EQ(fallback.Count("changePwd"), 1);
  const auto requests = primary.Requests();
  ASSERT_FALSE(requests.empty());
  EXPECT_EQ(requests[0].body,
            "{\n   \"name\" : \"demo\",\n   \"new_password\" : \"new123\",\n"
            "   \"super_key\" : \"super123\"\n}\n");
}

TEST_F(ChangePasswordPage, BothAttemptsFailedShowsNothing) {
  primary.Set("changePwd", {404, R"({"code":"200"})"});
  fallback.Set("changePwd", {500, ""});
  WithFilledForm([&](CAccountPara3& page) {
    t::Click(page, IDC_CHANGE);
    EXPECT_TRUE(page.IsDlgItemEnabled(IDC_CHANGE));
    EXPECT_EQ(TextUtf8(page, IDC_CHANGE_USER), "demo");
  });
  EXPECT_EQ(boxes.Count(), 0u);
  EXPECT_EQ(primary.Count("changePwd"), 1);
  EXPECT_EQ(fallback.Count("changePwd"), 1);
  EXPECT_FALSE(std::filesystem::exists(SettingsPath()));  // nothing is stored
}

}  // namespace
