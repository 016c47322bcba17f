#include "settings/update_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace settings {
namespace {

// Each round that finds the file replaced means another writer finished a write meanwhile; so many
// in a row mean something keeps swapping the name, and the write gives up rather than spin.
constexpr int kMaxReopens = 1000;

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

}  // namespace

FileUpdateLock::FileUpdateLock(const std::string& path) : path_(path) {
  for (int round = 0; round < kMaxReopens; ++round) {
    // Look before opening: opening a FIFO waits for a writer, and opening a device may act on it.
    struct stat named {};
    bool exists = ::stat(path.c_str(), &named) == 0;
    if (!exists && errno != ENOENT) return;
    if (exists && !S_ISREG(named.st_mode)) return;
    int fd = ::open(path.c_str(),
                    O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC | (exists ? 0 : O_CREAT), 0600);
    if (fd < 0) {
      if (errno == ENOENT) continue;  // removed between the look and the open
      return;
    }
    struct stat held {};
    if (::fstat(fd, &held) != 0 || !S_ISREG(held.st_mode)) {
      ::close(fd);
      return;
    }
    // flock fails (other than by a signal) only on a file system without locks; the write then
    // goes on guarded by the process's own lock alone, as it would have without this one.
    while (::flock(fd, LOCK_EX) != 0 && errno == EINTR) {
    }
    struct stat current {};
    if (::stat(path.c_str(), &current) == 0 && SameFile(held, current)) {
      fd_ = fd;
      // Another writer may have created it first and filled it before we got the lock.
      created_ = !exists && held.st_size == 0;
      return;
    }
    ::close(fd);  // replaced or removed while we waited: lock the file that has the name now
  }
}

FileUpdateLock::~FileUpdateLock() {
  if (fd_ < 0) return;
  if (created_ && !committed_) {
    // Still the empty file this lock created, under its own name (not behind a link): remove it,
    // so a write that failed leaves no file where there was none.
    struct stat held {};
    struct stat named {};
    if (::fstat(fd_, &held) == 0 && held.st_size == 0 && ::lstat(path_.c_str(), &named) == 0 &&
        S_ISREG(named.st_mode) && SameFile(held, named)) {
      ::unlink(path_.c_str());
    }
  }
  ::close(fd_);  // lets go of the lock
}

}  // namespace settings
