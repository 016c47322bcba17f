// Whole-file reads and crash-safe whole-file replacement for the settings files.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace settings {

enum class ReadStatus {
  kOk,       // the file was read whole
  kMissing,  // there is no such file (or a folder on its path is missing)
  kFailed,   // the file exists but could not be read (no right, no regular file, too large, an
             // I/O error)
};

// No bound on the size of a file to read.
inline constexpr std::size_t kAnySize = static_cast<std::size_t>(-1);

// Reads the whole file at `path` into `contents` (emptied first) and tells how it went. Only a
// regular file is read, and a read never blocks: the file is opened non-blocking, and a FIFO, a
// device or a folder (also behind a symbolic link) is closed again unread (kFailed), as is a file
// larger than `maxBytes`, refused by its size before any of it is read.
ReadStatus ReadTextFile(const std::string& path, std::string& contents,
                        std::size_t maxBytes = kAnySize);

// Reads the whole regular file open as `fd` from its start, as ReadTextFile does.
ReadStatus ReadOpenFile(int fd, std::string& contents, std::size_t maxBytes = kAnySize);

// Who may read the file that ReplaceFileAtomically writes.
enum class FileAccess {
  kKeep,       // a new file gets mode 0600, an existing one keeps its mode
  kOwnerOnly,  // mode 0600 in every case: the file holds secrets
};

// Replaces the file at `path` by `contents`: writes a temporary file in the same folder, syncs it
// to disk and renames it over the target, so a crash leaves the old or the new file, never a mix.
// The new file's mode follows `access`; its owner stays the old file's where possible. A symbolic
// link is followed, not replaced. Temporary files left by a writer that died are removed. Returns
// false when the file could not be written; the old file is then unchanged and no temporary file
// remains.
bool ReplaceFileAtomically(const std::string& path, std::string_view contents,
                           FileAccess access = FileAccess::kKeep);

}  // namespace settings
