#include <QClipboard>
#include <QGuiApplication>
#include <QString>

#include "account/clipboard.h"
#include "text/gbk.h"

namespace account {

bool CopyTextToClipboard(std::string_view gbk) {
  if (QGuiApplication::instance() == nullptr) return false;
  QClipboard* clipboard = QGuiApplication::clipboard();
  if (clipboard == nullptr) return false;
  clipboard->setText(QString::fromStdString(text::GbkToUtf8(gbk)), QClipboard::Clipboard);
  return true;
}

}  // namespace account
