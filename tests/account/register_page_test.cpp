// The register page: the address in its label, the copy to the clipboard, and the open, which
// goes through the browser seam and refuses anything but a web address.
#include <QClipboard>
#include <QGuiApplication>

#include "account_fixture.h"
#include "app/resource.h"

namespace {

using accounttest::AccountTest;
namespace t = ui::testing;

TEST_F(AccountTest, LabelCopyAndOpenUseTheRegistrationAddress) {
  CRegDialog dialog;
  dialog.registerPage.registerAddress = "http://127.0.0.1:9080/register";
  QGuiApplication::clipboard()->setText(QStringLiteral("before"));
  t::RunModal(dialog, [&] {
    CAccountPara1& page = dialog.registerPage;
    EXPECT_EQ(TextUtf8(page, IDC_REG_ADDRESS), "注册地址：http://127.0.0.1:9080/register");
    EXPECT_EQ(TextUtf8(page, IDC_REG_COPY), "复制");
    EXPECT_EQ(TextUtf8(page, IDC_REG_OPEN), "浏览器打开");

    t::Click(page, IDC_REG_COPY);
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "http://127.0.0.1:9080/register");
    t::Click(page, IDC_REG_OPEN);
    EXPECT_EQ(opened, std::vector<std::string>{"http://127.0.0.1:9080/register"});
  });
  EXPECT_EQ(boxes.Count(), 0u);
}

TEST_F(AccountTest, OnlyWebAddressesAreOpened) {
  const char* refused[] = {
      "", "file:///bin/sh", "/usr/bin/xterm", "javascript:alert(1)", "ftp://127.0.0.1/", "http://"};
  for (const char* address : refused) {
    EXPECT_FALSE(account::OpenInBrowser(address)) << address;
  }
  EXPECT_TRUE(opened.empty());
  EXPECT_TRUE(account::OpenInBrowser("HTTPS://reg.example/signup?from=client"));
  EXPECT_EQ(opened, std::vector<std::string>{"HTTPS://reg.example/signup?from=client"});
}

}  // namespace
