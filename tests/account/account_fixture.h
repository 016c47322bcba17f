// A fixture for the account dialog's tests: the window fixture of the application tests, two
// scripted APIs on loopback (primary and fallback base), and a browser seam that records what
// would have been opened, so that no test ever starts a browser.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "account/browser.h"
#include "account/reg_dialog.h"
#include "app/fake_api.h"
#include "app/window_fixture.h"
#include "text/gbk.h"

namespace accounttest {

namespace t = ui::testing;

class AccountTest : public apptest::WindowTest {
 protected:
  void SetUp() override {
    apptest::WindowTest::SetUp();
    account::SetBrowserOpenerForTesting(
        [this](const std::string& address) { opened.push_back(address); });
  }
  void TearDown() override {
    account::SetBrowserOpenerForTesting({});
    apptest::WindowTest::TearDown();
  }

  // Points both request pages of `dialog` at the two scripted APIs.
  void UseApis(CRegDialog& dialog) {
    for (CAccountActionPage* page :
         std::initializer_list<CAccountActionPage*>{&dialog.rechargePage, &dialog.passwordPage}) {
      page->api = api::ApiMembers(primary.Base());
      page->api.fallbackApiBase = fallback.Base();
    }
  }

  // Puts the UTF-8 text `utf8` into edit `id` of `page`, as GBK.
  static void Fill(ui::Dialog& page, int id, std::string_view utf8) {
    page.SetDlgItemText(id, text::Utf8ToGbk(utf8));
  }
  static std::string TextUtf8(ui::Dialog& page, int id) {
    return text::GbkToUtf8(page.GetDlgItemText(id));
  }

  apptest::FakeApi primary;
  apptest::FakeApi fallback;
  std::vector<std::string> opened;  // addresses handed to the browser, UTF-8
};

}  // namespace accounttest
