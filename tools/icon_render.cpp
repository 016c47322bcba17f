// tunvik-icons OUTDIR: writes the program's icon into OUTDIR the way the hicolor icon theme holds
// it, from the same drawing the program shows in its windows: hicolor/NxN/apps/tunvik.png for
// each size that menus and panels ask for, and hicolor/scalable/apps/tunvik.svg.
#include <QBuffer>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgGenerator>

#include <cstdio>
#include <filesystem>
#include <string>

#include "controls/app_icon.h"

namespace {

constexpr int kSizes[] = {16, 24, 32, 48, 64, 128, 256};
constexpr int kScalableSize = 256;

// Makes the folder `dir` and returns dir + "/tunvik." + extension.
std::string IconFile(const std::filesystem::path& dir, const char* extension) {
  std::filesystem::create_directories(dir);
  return (dir / (std::string("tunvik.") + extension)).string();
}

bool WritePng(const std::filesystem::path& theme, int size) {
  const std::string size_name = std::to_string(size) + "x" + std::to_string(size);
  const std::string path = IconFile(theme / size_name / "apps", "png");
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  {
    QPainter painter(&image);
    PaintAppIcon(painter, size);
  }
  return image.save(QString::fromStdString(path), "PNG");
}

bool WriteSvg(const std::filesystem::path& theme) {
  QBuffer buffer;
  QSvgGenerator svg;
  svg.setOutputDevice(&buffer);
  svg.setSize(QSize(kScalableSize, kScalableSize));
  svg.setViewBox(QRect(0, 0, kScalableSize, kScalableSize));
  svg.setTitle("Tunvik");
  QPainter painter;
  if (!painter.begin(&svg)) return false;
  PaintAppIcon(painter, kScalableSize);
  if (!painter.end()) return false;
  // The icon draws no text, and without an application the painter's font has no size: the
  // generator's font attributes (a size of -1) would only make the file invalid.
  QString text = QString::fromUtf8(buffer.data());
  text.remove(QRegularExpression(R"(\s*font-(family|size|weight|style)="[^"]*")"));
  QFile file(QString::fromStdString(IconFile(theme / "scalable" / "apps", "svg")));
  return file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
         file.write(text.toUtf8()) == text.toUtf8().size() && file.flush();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTDIR\n", argv[0]);
    return 2;
  }
  const std::filesystem::path theme = std::filesystem::path(argv[1]) / "hicolor";
  bool ok = WriteSvg(theme);
  for (int size : kSizes) ok = WritePng(theme, size) && ok;
  if (!ok) std::fprintf(stderr, "%s: could not write the icons into %s\n", argv[0], argv[1]);
  return ok ? 0 : 1;
}
