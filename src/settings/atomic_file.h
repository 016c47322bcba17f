// Whole-file reads and crash-safe whole-file replacement for the settings files.
#pragma once

#include <string>
#include <string_view>

namespace settings {

enum class ReadStatus {
  kOk,       // the file was read whole
  kMissing,  // there is no such file (or a folder on its path is missing)
  kFailed,   // the file exists but could not be read (no right, a folder, an I/O error)
};

// Reads the whole file at `path` into `contents` (emptied first) and tells how it went.
ReadStatus ReadTextFile(const std::string& path, std::string& contents);

// Replaces the file at `path` by `contents`: writes a temporary file in the same folder, syncs it
// to disk and renames it over the target, so a crash leaves the old or the new file, never a mix.
// A new file gets mode 0600, an existing one keeps its mode (and owner where possible); a symbolic
// link is followed, not replaced. Temporary files left by a writer that died are removed. Returns
// false when the file could not be written; the old file is then unchanged and no temporary file
// remains.
bool ReplaceFileAtomically(const std::string& path, std::string_view contents);

}  // namespace settings
