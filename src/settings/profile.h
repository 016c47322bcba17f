// The profile operations: read and write one value of an INI file, with the semantics that every
// settings reader and writer of the client relies on.
//
// Section and key names match without regard to letter case. A missing file, section or key
// reads as the default. Values read as the platform's profile functions read them: blanks at both
// ends and then one pair of matching outer quotes are dropped; the writer quotes a value exactly
// when that would otherwise change it, so every value reads back as written. Every line end is
// read (LF, CR LF, CR alone, LF CR, CR CR LF); a UTF-16 file with its order mark is read in its
// GBK view and written back in UTF-16, converted (ini_document.h tells the details).
//
// Only a regular file of at most kMaxProfileFileSize bytes is read, and nothing blocks: a FIFO, a
// device, a folder or a larger file reads as all defaults and is never written. The size is told
// before a byte is read, so a huge file costs no more per read than a small one.
//
// A write creates the file and the section as needed, keeps every other line, and replaces the
// file atomically (a temporary file in the same folder, then a rename). A new file gets mode 0600;
// the settings file XolConfig.ini, which holds the password, is left at mode 0600 by every write,
// while other files keep their mode. Writers are kept apart by a lock on
// the file that holds across processes (update_lock.h), so no update is lost when two clients
// write the same file; a write waits while another is under way. Reads take no lock.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace settings {

// Reading a text without a limit returns the whole stored value.
inline constexpr std::size_t kWhole = static_cast<std::size_t>(-1);

// The largest profile file that is read or written: 1 MiB, some thousand times a real settings
// file (under 1 KiB), and more than any value the client writes.
inline constexpr std::size_t kMaxProfileFileSize = 1024 * 1024;

// Returns the value of `key` in `section` of the INI file at `path`, read as described above,
// cut to at most `limit` bytes (GBK-aware: a double-byte character is never split), or `fallback`
// (cut the same way) when the file, the section or the key is missing or the file is unreadable.
std::string GetProfileString(std::string_view section, std::string_view key,
                             std::string_view fallback, std::size_t limit, const std::string& path);

// Returns the value as an integer: optional blanks and sign, then the leading decimal digits
// (0 when there are none); `fallback` when the file, the section or the key is missing or empty.
int GetProfileInt(std::string_view section, std::string_view key, int fallback,
                  const std::string& path);

// Sets `key` in `section` to `value`, creating file, section and key as needed and keeping every
// other line. Returns false when the file could not be read or written (the old file is then
// unchanged), and refuses a write the file could not give back: a line break or NUL anywhere, an
// empty or blank-edged name, a name ending in the lone first byte of a double-byte character, "]"
// in the section, "=" in the key, a key starting with ";#[", a value that a UTF-16 file cannot
// hold, or a file that would grow past kMaxProfileFileSize.
bool WriteProfileString(std::string_view section, std::string_view key, std::string_view value,
                        const std::string& path);

// Writes an integer as its decimal text ("%d"); fails as WriteProfileString does.
bool WriteProfileInt(std::string_view section, std::string_view key, int value,
                     const std::string& path);

// Appends the items of a list value to `items`: the parts between separators, found GBK-aware.
// An empty text adds nothing; a trailing separator adds no empty last item.
void SplitList(std::string_view text, char separator, std::vector<std::string>& items);

}  // namespace settings
