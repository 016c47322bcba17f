// The lock that keeps the writers of one settings file apart, across threads and processes.
//
// A write reads the file, changes it and replaces it by a new file under the same name, so two
// writers that overlap lose one of their updates. Each writer therefore holds an exclusive advisory
// lock (flock) on the file itself for its whole read-modify-write. Because the write replaces the
// file, a writer that waited for the lock may hold it on a file that no longer has the name; it
// then lets go and locks the file that now has it, so the lock it ends up with is always the one
// on the current file, and every writer reads what the writer before it wrote. The new file is
// born locked: the writer holds a lock on its temporary file until the rename is done.
//
// Readers take no lock: they open the old or the new file, each complete.
#pragma once

#include <string>

namespace settings {

class FileUpdateLock {
 public:
  // Opens the file at `path` (a symbolic link is followed) and waits until it holds the lock.
  // A missing file is created empty (mode 0600) so that it can be locked; Commit keeps it.
  // A path that holds no regular file is never opened.
  explicit FileUpdateLock(const std::string& path);
  // Lets go of the lock. An empty file that this lock created and that no write filled is removed.
  ~FileUpdateLock();
  FileUpdateLock(const FileUpdateLock&) = delete;
  FileUpdateLock& operator=(const FileUpdateLock&) = delete;

  // True when the file is open and locked (or, on a file system without locks, open).
  bool held() const { return fd_ >= 0; }
  // The open file, the one now under the path; -1 when not held.
  int fd() const { return fd_; }
  // True when the file did not exist and this lock created it.
  bool created() const { return created_; }
  // Tells that the file under the path was written, so a file this lock created stays.
  void Commit() { committed_ = true; }

 private:
  std::string path_;
  int fd_ = -1;
  bool created_ = false;
  bool committed_ = false;
};

}  // namespace settings
