// The field checks of the recharge and change-password pages, driven through the dialog: each
// case fills the three edits, clicks the page's button and looks at the one message shown and
// at whether a request went out.
#include <string>
#include <string_view>

#include "account_fixture.h"
#include "app/resource.h"

namespace {

using accounttest::AccountTest;
namespace t = ui::testing;

constexpr const char* kCard32 = "TUNVIKDEMOCARD000000000000000001";
constexpr const char* kCard32WithBlanks = " TUNVIK DEMO CARD 0000000000001 ";
constexpr const char* kCard31 = "TUNVIKDEMOCARD00000000000000001";
constexpr const char* kCard33 = "TUNVIKDEMOCARD0000000000000000001";
static_assert(std::string_view(kCard32).size() == 32 &&
              std::string_view(kCard32WithBlanks).size() == 32 &&
              std::string_view(kCard31).size() == 31 && std::string_view(kCard33).size() == 33);

struct FieldCase {
  const char* name;
  int button;  // IDC_RECHARGE or IDC_CHANGE
  const char* first;
  const char* second;
  const char* third;
  const char* message;  // the one message shown, UTF-8
  bool sent;            // the checks passed and the request went out
};

const FieldCase kCases[] = {
    // Recharge page: user name, password, card number.
    {"all empty", IDC_RECHARGE, "", "", "", "用户名不能为空", false},
    {"Chinese user name before its length", IDC_RECHARGE, "中", "demo123", kCard32,
     "用户名不能含有中文字符", false},
    {"full-width letter", IDC_RECHARGE, "Ａbc", "demo123", kCard32, "用户名不能含有中文字符",
     false},
    {"GBK character with both bytes below 0xA0", IDC_RECHARGE, "丂ab", "demo123", kCard32,
     "充值成功！", true},
    {"short user name", IDC_RECHARGE, "ab", "demo123", kCard32, "用户名不能小于3个字符", false},
    {"three blanks are a user name", IDC_RECHARGE, "   ", "demo123", kCard32, "充值成功！", true},
    {"empty password", IDC_RECHARGE, "demo", "", kCard32, "密码不能为空", false},
    {"Chinese password", IDC_RECHARGE, "demo", "密码12", kCard32, "密码不能含有中文字符", false},
    {"short password", IDC_RECHARGE, "demo", "12", kCard32, "密码不能小于3个字符", false},
    {"empty card", IDC_RECHARGE, "demo", "demo123", "", "卡号不能为空", false},
    {"Chinese card", IDC_RECHARGE, "demo", "demo123", "TUNVIKDEMOCARD0000000000000000卡",
     "卡号不能含有中文字符", false},
    {"card of 31", IDC_RECHARGE, "demo", "demo123", kCard31, "卡号不能小于32个字符", false},
    {"card of 33", IDC_RECHARGE, "demo", "demo123", kCard33, "卡号不能大于32个字符", false},
    {"card of 32 with blanks", IDC_RECHARGE, "demo", "demo123", kCard32WithBlanks, "充值成功！",
     true},
    // Change-password page: user name, super password, new password.
    {"empty user name stops there", IDC_CHANGE, "", "超级", "x", "用户名不能为空", false},
    {"empty super password", IDC_CHANGE, "demo", "", "new123", "超级密码不能为空", false},
    {"Chinese super password", IDC_CHANGE, "demo", "超级", "new123", "超级密码不能含有中文字符",
     false},
    {"short super password", IDC_CHANGE, "demo", "su", "new123", "超级密码不能小于3个字符", false},
    {"empty new password", IDC_CHANGE, "demo", "super123", "", "新密码不能为空", false},
    {"Chinese new password", IDC_CHANGE, "demo", "super123", "新的", "新密码不能含有中文字符",
     false},
    {"short new password", IDC_CHANGE, "demo", "super123", "ab", "新密码不能小于3个字符", false},
    {"all fields good", IDC_CHANGE, "demo", "super123", "new123", "修改成功！", true},
};

TEST_F(AccountTest, FieldChecksShowTheFirstFailureAndSendNothing) {
  primary.Set("recharge", {200, R"({"code":"200"})"});
  primary.Set("freshikuai", {200, "{}"});
  primary.Set("changePwd", {200, R"({"code":"200"})"});
  CRegDialog dialog;
  UseApis(dialog);
  t::RunModal(dialog, [&] {
    for (const FieldCase& c : kCases) {
      SCOPED_TRACE(c.name);
      const bool recharge = c.button == IDC_RECHARGE;
      ui::Dialog& page = recharge ? static_cast<ui::Dialog&>(dialog.rechargePage)
                                  : static_cast<ui::Dialog&>(dialog.passwordPage);
      t::ClickTab(dialog, IDC_REG_TAB, recharge ? 1 : 2);
      const int ids[3] = {recharge ? IDC_RECHARGE_USER : IDC_CHANGE_USER,
                          recharge ? IDC_RECHARGE_PASSWORD : IDC_CHANGE_SUPER_PASSWORD,
                          recharge ? IDC_RECHARGE_CARD : IDC_CHANGE_NEW_PASSWORD};
      Fill(page, ids[0], c.first);
      Fill(page, ids[1], c.second);
      Fill(page, ids[2], c.third);
      const int before = primary.Count(recharge ? "recharge" : "changePwd");
      boxes.Clear();

      t::Click(page, c.button);

      EXPECT_EQ(boxes.TextsUtf8(), std::vector<std::string>{c.message});
      EXPECT_EQ(primary.Count(recharge ? "recharge" : "changePwd") - before, c.sent ? 1 : 0);
      EXPECT_TRUE(page.IsDlgItemEnabled(c.button));
    }
  });
}

TEST_F(AccountTest, FieldValuesAreSentAsTheirGbkBytes) {
  primary.Set("recharge", {200, R"({"code":"201"})"});
  CRegDialog dialog;
  UseApis(dialog);
  t::RunModal(dialog, [&] {
    t::ClickTab(dialog, IDC_REG_TAB, 1);
    Fill(dialog.rechargePage, IDC_RECHARGE_USER, "丂ab");
    Fill(dialog.rechargePage, IDC_RECHARGE_PASSWORD, " p w ");
    Fill(dialog.rechargePage, IDC_RECHARGE_CARD, kCard32WithBlanks);
    t::Click(dialog.rechargePage, IDC_RECHARGE);
  });
  ASSERT_EQ(primary.Requests().size(), 1u);
  EXPECT_EQ(primary.Requests()[0].body, std::string("{\n   \"card_no\" : \"") + kCard32WithBlanks +
                                            "\",\n   \"name\" : \"\x81\x40"
                                            "ab\",\n   \"password\" : \" p w \"\n}\n");
}

}  // namespace
