#include "ui/message_box.h"

#include <QMessageBox>
#include <QPushButton>

#include <cctype>
#include <mutex>

#include "settings/program_dir.h"
#include "text/gbk.h"
#include "ui/dialog_impl.h"
#include "ui/qt_access.h"

namespace ui {
namespace {

std::mutex g_handlerMutex;
std::function<int(const MessageBoxRequest&)> g_handler;

int ShowRealBox(QWidget* owner, const MessageBoxRequest& request) {
  QMessageBox box(owner);
  box.setWindowTitle(ToQt(request.caption));
  box.setText(ToQt(request.text));
  box.setFont(DialogFont());
  if (request.type == MB_YESNO) {
    box.setIcon(QMessageBox::Question);
    QPushButton* yes = box.addButton(QStringLiteral("是(&Y)"), QMessageBox::YesRole);
    QPushButton* no = box.addButton(QStringLiteral("否(&N)"), QMessageBox::NoRole);
    box.setDefaultButton(yes);
    box.setEscapeButton(no);
    box.exec();
    return box.clickedButton() == yes ? IDYES : IDNO;
  }
  QPushButton* ok = box.addButton(QStringLiteral("确定"), QMessageBox::AcceptRole);
  box.setDefaultButton(ok);
  box.setEscapeButton(ok);
  box.exec();
  return IDOK;
}

}  // namespace

std::string DefaultCaption() {
  return ProgramCaption(settings::ProgramPath());
}

std::string ProgramCaption(std::string_view path) {
  std::size_t slash = path.find_last_of('/');
  std::string name(slash == std::string::npos ? path : path.substr(slash + 1));
  // Only a known program extension is one: the release file "Quoril_10.6" keeps its ".6".
  std::size_t dot = name.find_last_of('.');
  if (dot != std::string::npos && dot != 0) {
    std::string extension = name.substr(dot + 1);
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    for (const char* known : {"exe", "com", "bin", "run", "appimage"}) {
      if (extension == known) {
        name.resize(dot);
        break;
      }
    }
  }
  return name;
}

int ShowMessageBox(Dialog* owner, std::string_view gbkText, std::string_view gbkCaption,
                   unsigned type) {
  MessageBoxRequest request;
  request.text = std::string(gbkText);
  request.caption = gbkCaption.empty() ? DefaultCaption() : std::string(gbkCaption);
  request.type = type;
  int answer = type == MB_YESNO ? IDNO : IDOK;
  Invoke([&] {
    QWidget* window = owner != nullptr ? WindowWidget(*owner) : nullptr;
    if (window != nullptr) request.ownerTitle = FromQt(window->windowTitle());
    std::function<int(const MessageBoxRequest&)> handler;
    {
      std::lock_guard lock(g_handlerMutex);
      handler = g_handler;
    }
    answer = handler ? handler(request) : ShowRealBox(window, request);
  });
  return answer;
}

void SetMessageBoxHandler(std::function<int(const MessageBoxRequest&)> handler) {
  std::lock_guard lock(g_handlerMutex);
  g_handler = std::move(handler);
}

}  // namespace ui
