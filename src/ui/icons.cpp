// Icon resources registered by the program for its windows.
#include <map>

#include "ui/qt_access.h"

namespace ui {
namespace {
std::map<int, QIcon>& Icons() {
  static std::map<int, QIcon> icons;
  return icons;
}
}  // namespace

void RegisterIconResource(int resourceId, const QIcon& icon) {
  Icons()[resourceId] = icon;
}

QIcon IconResource(int resourceId) {
  auto it = Icons().find(resourceId);
  return it == Icons().end() ? QIcon() : it->second;
}

}  // namespace ui
