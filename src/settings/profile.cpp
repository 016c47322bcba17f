#include "settings/profile.h"

#include <sys/stat.h>

#include <climits>
#include <mutex>
#include <optional>

#include "settings/atomic_file.h"
#include "settings/ini_document.h"
#include "settings/keys.h"
#include "settings/update_lock.h"
#include "text/gbk.h"

namespace settings {
namespace {

// One lock for the writers of the process. The lock on the file keeps writers in other processes
// out, and in this one too; this one also guards the writes where the file system has no locks.
std::mutex& WriterMutex() {
  static std::mutex mutex;
  return mutex;
}

// Returns at most `limit` bytes of `value`, never the first byte of a double-byte character alone.
std::string CutToLimit(std::string_view value, std::size_t limit) {
  std::size_t end = 0;
  while (end < value.size()) {
    std::size_t width =
        (text::IsLeadByte(static_cast<unsigned char>(value[end])) && end + 1 < value.size()) ? 2
                                                                                             : 1;
    if (width > limit - end) break;
    end += width;
  }
  return std::string(value.substr(0, end));
}

// Reads the stored value afresh, or nullopt when the file, the section or the key is missing.
// A file that cannot be read (no regular file, too large, no right) reads as a missing one. No
// lock is needed: a write replaces the file whole, so a read sees the old or the new file.
std::optional<std::string> ReadValue(std::string_view section, std::string_view key,
                                     const std::string& path) {
  std::string contents;
  if (ReadTextFile(path, contents, kMaxProfileFileSize) != ReadStatus::kOk) return std::nullopt;
  return IniDocument::Parse(contents).Get(section, key);
}

bool HasLineBreakOrNul(std::string_view s) {
  return s.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

bool HasOuterBlanks(std::string_view s) {
  auto blank = [](char c) { return c == ' ' || c == '\t'; };
  return blank(s.front()) || blank(s.back());
}

// True when the text ends in the first byte of a double-byte character without its second byte:
// in a line such a byte takes the "]" or "=" after it for its second byte.
bool EndsInLoneLeadByte(std::string_view s) {
  std::size_t i = 0;
  while (i + 1 < s.size()) i += text::IsLeadByte(static_cast<unsigned char>(s[i])) ? 2 : 1;
  return i + 1 == s.size() && text::IsLeadByte(static_cast<unsigned char>(s[i]));
}

// A name that the file could not give back as written would be a write that reads back as
// something else, or a value that opens a line of its own; such writes are refused.
bool IsWritable(std::string_view section, std::string_view key, std::string_view value) {
  if (section.empty() || key.empty() || HasLineBreakOrNul(section) || HasLineBreakOrNul(key) ||
      HasLineBreakOrNul(value) || HasOuterBlanks(section) || HasOuterBlanks(key) ||
      EndsInLoneLeadByte(section) || EndsInLoneLeadByte(key)) {
    return false;
  }
  if (text::FindChar(section, ']') != text::npos) return false;
  if (text::FindChar(key, '=') != text::npos) return false;
  return key.front() != ';' && key.front() != '#' && key.front() != '[';
}

// The settings file holds the account's password in plain text, so every write leaves it readable
// by its owner only, also one that an older version, or an edit by hand, left readable by others.
// Other profile files keep their mode: the dialer's system-wide file is read by every user's
// dialer.
bool HoldsSecrets(const std::string& path) {
  std::string_view name = path;
  if (std::size_t slash = name.rfind('/'); slash != std::string_view::npos)
    name.remove_prefix(slash + 1);
  return name == kSettingsFileName;
}

// Leaves the file readable by its owner only, as a write that replaces it does. Only the owner
// may change the mode: for a file of another user this fails, and the file stays as it is.
void MakePrivate(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) == 0 && (st.st_mode & 07777) != 0600) (void)::fchmod(fd, 0600);
}

int ParseLeadingInt(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  long long magnitude = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (s[i] - '0');
    if (magnitude > static_cast<long long>(INT_MAX) + 1) break;  // saturate below
  }
  long long v = negative ? -magnitude : magnitude;
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

}  // namespace

std::string GetProfileString(std::string_view section, std::string_view key,
                             std::string_view fallback, std::size_t limit,
                             const std::string& path) {
  std::optional<std::string> value = ReadValue(section, key, path);
  return CutToLimit(value ? std::string_view(*value) : fallback, limit);
}

int GetProfileInt(std::string_view section, std::string_view key, int fallback,
                  const std::string& path) {
  std::optional<std::string> value = ReadValue(section, key, path);
  if (!value || value->empty()) return fallback;
  return ParseLeadingInt(*value);
}

bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path) {
  if (!IsWritable(section, key, value)) return false;
  std::lock_guard lock(WriterMutex());
  FileUpdateLock file(path);
  if (!file.held()) return false;
  std::string contents;
  // An existing file that cannot be read must not be replaced by one holding only this key.
  if (ReadOpenFile(file.fd(), contents, kMaxProfileFileSize) != ReadStatus::kOk) return false;
  IniDocument doc = IniDocument::Parse(contents);
  if (!doc.CanSerialize()) return false;
  doc.Set(section, key, value);
  std::string updated = doc.Serialize();
  // The file must give the value back, and be small enough to be read again at all.
  if (updated.size() > kMaxProfileFileSize ||
      IniDocument::Parse(updated).Get(section, key) != value)
    return false;
  const bool secret = HoldsSecrets(path);
  if (updated == contents) {
    if (secret) MakePrivate(file.fd());
    return true;
  }
  if (!ReplaceFileAtomically(path, updated, secret ? FileAccess::kOwnerOnly : FileAccess::kKeep))
    return false;
  file.Commit();
  return true;
}

bool WriteProfileInt(std::string_view section, std::string_view key, int value,
                     const std::string& path) {
  return WriteProfileString(section, key, std::to_string(value), path);
}

}  // namespace settings
