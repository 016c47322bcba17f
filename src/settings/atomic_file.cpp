#include "settings/atomic_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace settings {
namespace {

constexpr std::string_view kTempInfix = ".tmp-";
constexpr std::size_t kTempRandomChars = 6;  // the "XXXXXX" of mkstemp

// Closes a descriptor at the end of a scope.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

struct DirCloser {
  void operator()(DIR* d) const { ::closedir(d); }
};

bool SameFile(const struct stat& a, const struct stat& b) {
  return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// The file that a write really replaces: the target of a symbolic link, else the path itself.
std::string ResolveTarget(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return path;
  std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
  // A dangling link: replace the link itself, as a missing file would be created.
  return real ? std::string(real.get()) : path;
}

// Removes the temporary files of `base` that no writer holds any more. A writer keeps an exclusive
// lock on its temporary file until it has renamed it, so a lock that can be taken means the writer
// died (a crash or a kill) and the file is garbage.
void RemoveStaleTemporaries(const std::string& dir, const std::string& base) {
  std::unique_ptr<DIR, DirCloser> d(::opendir(dir.c_str()));
  if (!d) return;  // the write that follows reports the real problem
  const std::string prefix = base + std::string(kTempInfix);
  while (const dirent* entry = ::readdir(d.get())) {
    std::string_view name = entry->d_name;
    if (!name.starts_with(prefix) || name.size() != prefix.size() + kTempRandomChars) continue;
    std::string full = dir + "/" + std::string(name);
    Fd fd(::open(full.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (fd.get() < 0 || ::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) continue;
    struct stat held {};
    struct stat named {};
    if (::fstat(fd.get(), &held) == 0 && S_ISREG(held.st_mode) &&
        ::stat(full.c_str(), &named) == 0 && SameFile(held, named)) {
      ::unlink(full.c_str());
    }
  }
}

// Creates and locks a temporary file beside the target; returns its descriptor (or -1) and name.
int CreateLockedTemporary(const std::string& dir, const std::string& base, std::string& name) {
  // A few attempts: another process cleaning stale files may remove ours before we hold its lock.
  for (int attempt = 0; attempt < 5; ++attempt) {
    name = dir + "/" + base + std::string(kTempInfix) + std::string(kTempRandomChars, 'X');
    int fd = ::mkostemp(name.data(), O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat held {};
    struct stat named {};
    if (::flock(fd, LOCK_EX) == 0 && ::fstat(fd, &held) == 0 && ::stat(name.c_str(), &named) == 0 &&
        SameFile(held, named)) {
      return fd;
    }
    ::close(fd);
  }
  return -1;
}

}  // namespace

ReadStatus ReadTextFile(const std::string& path, std::string& contents, std::size_t maxBytes) {
  contents.clear();
  // Non-blocking, so that a FIFO does not wait for a writer; what is no regular file is then
  // closed unread.
  Fd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (fd.get() < 0)
    return (errno == ENOENT || errno == ENOTDIR) ? ReadStatus::kMissing : ReadStatus::kFailed;
  return ReadOpenFile(fd.get(), contents, maxBytes);
}

ReadStatus ReadOpenFile(int fd, std::string& contents, std::size_t maxBytes) {
  contents.clear();
  struct stat st {};
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) return ReadStatus::kFailed;
  auto size = static_cast<std::size_t>(st.st_size);
  if (size > maxBytes) return ReadStatus::kFailed;
  contents.reserve(size);
  char buffer[65536];
  for (off_t offset = 0;;) {
    // A file with a size is read up to it, without one more read to find its end; one that tells
    // none (as those of /proc) is read to its end.
    if (size > 0 && contents.size() >= size) return ReadStatus::kOk;
    ssize_t n = ::pread(fd, buffer, sizeof buffer, offset);
    if (n == 0) return ReadStatus::kOk;
    if (n < 0) {
      if (errno == EINTR) continue;
      contents.clear();
      return ReadStatus::kFailed;
    }
    // A file that grows while it is read is held to the same bound.
    if (static_cast<std::size_t>(n) > maxBytes - contents.size()) {
      contents.clear();
      return ReadStatus::kFailed;
    }
    contents.append(buffer, static_cast<std::size_t>(n));
    offset += n;
  }
}

bool ReplaceFileAtomically(const std::string& path, std::string_view contents, FileAccess access) {
  if (path.empty()) return false;
  const std::string target = ResolveTarget(path);
  std::size_t slash = target.rfind('/');
  std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
  std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  if (base.empty()) return false;

  struct stat old {};
  bool exists = ::stat(target.c_str(), &old) == 0;
  if (exists && !S_ISREG(old.st_mode)) return false;

  RemoveStaleTemporaries(dir, base);
  std::string tempName;
  Fd fd(CreateLockedTemporary(dir, base, tempName));
  if (fd.get() < 0) return false;

  mode_t mode = (exists && access == FileAccess::kKeep) ? (old.st_mode & 07777) : 0600;
  bool ok = ::fchmod(fd.get(), mode) == 0;
  if (ok && exists && (old.st_uid != ::geteuid() || old.st_gid != ::getegid())) {
    // Only a privileged writer can keep another user's ownership; anyone else makes the new file
    // their own, as any rewrite of a file in a folder they may write does.
    (void)::fchown(fd.get(), old.st_uid, old.st_gid);
  }
  ok = ok && WriteAll(fd.get(), contents) && ::fsync(fd.get()) == 0;
  // The lock is held until the rename, so no cleaner takes the file for a dead writer's.
  ok = ok && ::rename(tempName.c_str(), target.c_str()) == 0;
  if (!ok) {
    ::unlink(tempName.c_str());
    return false;
  }
  // Make the rename itself durable; a failure here cannot undo a write that has happened.
  Fd dirFd(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dirFd.get() >= 0) (void)::fsync(dirFd.get());
  return true;
}

}  // namespace settings
