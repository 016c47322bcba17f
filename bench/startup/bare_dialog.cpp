// The reference for the start-up benchmark: a bare Qt dialog of the main window's size that
// reports when it is shown, as the client does under TUNVIK_REPORT_SHOWN. With --label it also
// shows one line of Chinese text in the dialog font, which tells the cost of text from the cost
// of the client's own work.
#include <QApplication>
#include <QDialog>
#include <QLabel>

#include <cstdio>
#include <cstring>

namespace {
class BareDialog : public QDialog {
 protected:
  void showEvent(QShowEvent* event) override {
    QDialog::showEvent(event);
    std::fprintf(stderr, "tunvik: window shown\n");
  }
};
}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  BareDialog dialog;
  dialog.resize(474, 493);
  dialog.setWindowTitle("bare");
  if (argc > 1 && std::strcmp(argv[1], "--label") == 0) {
    QFont font(QStringLiteral("WenQuanYi Micro Hei"));
    font.setPixelSize(12);
    QApplication::setFont(font);
    new QLabel(QStringLiteral("显示进程IP（不会设置可忽略）"), &dialog);
  }
  return dialog.exec();
}
