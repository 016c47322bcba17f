#include "base/guarded.h"

#include <cstdio>
#include <exception>

namespace base {

bool RunGuarded(const char* what, const std::function<void()>& work) noexcept {
  const char* reason = "an unknown error";
  try {
    work();
    return true;
  } catch (const std::exception& error) {
    // Reported inside the handler: the text belongs to the exception object.
    std::fprintf(stderr, "tunvik: %s ended early: %s\n", what, error.what());
    return false;
  } catch (...) {
  }
  std::fprintf(stderr, "tunvik: %s ended early: %s\n", what, reason);
  return false;
}

}  // namespace base
