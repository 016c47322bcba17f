#include <QDesktopServices>
#include <QString>
#include <QUrl>

#include "account/browser.h"
#include "text/gbk.h"

namespace account {
namespace {

std::function<void(const std::string&)>& TestOpener() {
  static std::function<void(const std::string&)> opener;
  return opener;
}

}  // namespace

bool OpenInBrowser(std::string_view gbkAddress) {
  const std::string utf8 = text::GbkToUtf8(gbkAddress);
  const QUrl url(QString::fromStdString(utf8), QUrl::StrictMode);
  const QString scheme = url.scheme().toLower();
  if (!url.isValid() || url.host().isEmpty() ||
      (scheme != QStringLiteral("http") && scheme != QStringLiteral("https"))) {
    return false;
  }
  if (TestOpener()) {
    TestOpener()(utf8);
    return true;
  }
  // The result only says whether a handler was found; the shell's outcome is not checked either.
  QDesktopServices::openUrl(url);
  return true;
}

void SetBrowserOpenerForTesting(std::function<void(const std::string&)> opener) {
  TestOpener() = std::move(opener);
}

}  // namespace account
