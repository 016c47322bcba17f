#include "text/gbk.h"

#include <iconv.h>

#include <cerrno>
#include <map>
#include <mutex>

namespace text {
namespace {

// One conversion descriptor per thread and direction: iconv_t is not safe to share, and opening
// one for every call would dominate the cost of short texts.
class Converter {
 public:
  Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~Converter() {
    if (cd_ != reinterpret_cast<iconv_t>(-1)) iconv_close(cd_);
  }
  Converter(const Converter&) = delete;
  Converter& operator=(const Converter&) = delete;

  // Converts `in`; `skip` tells how many input bytes to pass over at an unconvertible sequence,
  // which then becomes "?".
  template <typename SkipFn>
  std::string Convert(std::string_view in, SkipFn skip) {
    std::string out;
    if (cd_ == reinterpret_cast<iconv_t>(-1)) {
      // glibc always has CP936; without it every non-ASCII byte becomes "?".
      for (unsigned char c : in) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
      return out;
    }
    iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    out.reserve(in.size() + in.size() / 2 + 8);
    char* src = const_cast<char*>(in.data());
    std::size_t left = in.size();
    char buffer[1024];
    while (left > 0) {
      char* dst = buffer;
      std::size_t room = sizeof buffer;
      std::size_t rc = iconv(cd_, &src, &left, &dst, &room);
      out.append(buffer, static_cast<std::size_t>(dst - buffer));
      if (rc != static_cast<std::size_t>(-1)) continue;
      if (errno == E2BIG) continue;
      // EILSEQ or EINVAL (a sequence cut at the end of the text): replace and go on.
      std::size_t n = skip(std::string_view(src, left));
      if (n == 0 || n > left) n = 1;
      src += n;
      left -= n;
      out.push_back('?');
      iconv(cd_, nullptr, nullptr, nullptr, nullptr);
    }
    Flush(out);
    return out;
  }

 private:
  void Flush(std::string& out) {
    char buffer[64];
    char* dst = buffer;
    std::size_t room = sizeof buffer;
    iconv(cd_, nullptr, nullptr, &dst, &room);
    out.append(buffer, static_cast<std::size_t>(dst - buffer));
  }

  iconv_t cd_;
};

// Length of the UTF-8 sequence that starts at s[0], for skipping a character GBK lacks.
std::size_t Utf8SequenceLength(std::string_view s) {
  auto c = static_cast<unsigned char>(s[0]);
  std::size_t n = c < 0x80           ? 1
                  : (c >> 5) == 0x6  ? 2
                  : (c >> 4) == 0xE  ? 3
                  : (c >> 3) == 0x1E ? 4
                                     : 1;
  if (n > s.size()) return s.size();
  for (std::size_t i = 1; i < n; ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return i;  // malformed: stop before it
  }
  return n;
}

bool IsAscii(std::string_view s) {
  for (unsigned char c : s) {
    if (c >= 0x80) return false;
  }
  return true;
}

char FoldAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// Width in bytes of the character that starts at s[i].
std::size_t CharWidth(std::string_view s, std::size_t i) {
  return (IsLeadByte(static_cast<unsigned char>(s[i])) && i + 1 < s.size()) ? 2 : 1;
}

}  // namespace

std::string GbkToUtf8(std::string_view gbk) {
  if (IsAscii(gbk)) return std::string(gbk);
  thread_local Converter converter("UTF-8", "CP936");
  return converter.Convert(gbk, [](std::string_view s) {
    const bool pair = s.size() > 1 && IsLeadByte(static_cast<unsigned char>(s[0])) &&
                      IsTrailByte(static_cast<unsigned char>(s[1]));
    return std::size_t{pair ? 2u : 1u};
  });
}

std::string Utf8ToGbk(std::string_view utf8) {
  if (IsAscii(utf8)) return std::string(utf8);
  thread_local Converter converter("CP936", "UTF-8");
  return converter.Convert(utf8, Utf8SequenceLength);
}

const std::string& Gbk(std::string_view utf8) {
  static std::mutex mutex;
  static std::map<std::string, std::string, std::less<>> converted;
  std::lock_guard lock(mutex);
  auto it = converted.find(utf8);
  if (it == converted.end()) it = converted.emplace(std::string(utf8), Utf8ToGbk(utf8)).first;
  return it->second;  // map nodes never move
}

std::size_t FindChar(std::string_view gbk, char c, std::size_t from) {
  for (std::size_t i = from; i < gbk.size(); i += CharWidth(gbk, i)) {
    if (gbk[i] == c) return i;
  }
  return npos;
}

std::size_t FindLastChar(std::string_view gbk, char c) {
  std::size_t found = npos;
  for (std::size_t i = 0; i < gbk.size(); i += CharWidth(gbk, i)) {
    if (gbk[i] == c) found = i;
  }
  return found;
}

std::size_t Find(std::string_view gbk, std::string_view needle, std::size_t from) {
  if (from > gbk.size()) return npos;
  if (needle.empty()) return from;
  for (std::size_t i = from; i < gbk.size(); i += CharWidth(gbk, i)) {
    if (gbk.substr(i, needle.size()) == needle) return i;
  }
  return npos;
}

std::string ReplaceAll(std::string_view gbk, std::string_view from, std::string_view to) {
  if (from.empty()) return std::string(gbk);
  std::string out;
  out.reserve(gbk.size());
  std::size_t i = 0;
  while (i < gbk.size()) {
    if (gbk.substr(i, from.size()) == from) {
      out.append(to);
      i += from.size();
      continue;
    }
    std::size_t w = CharWidth(gbk, i);
    out.append(gbk.substr(i, w));
    i += w;
  }
  return out;
}

int CompareNoCase(std::string_view a, std::string_view b) {
  std::size_t i = 0;
  std::size_t j = 0;
  while (i < a.size() && j < b.size()) {
    std::size_t wa = CharWidth(a, i);
    std::size_t wb = CharWidth(b, j);
    if (wa == 1 && wb == 1) {
      auto ca = static_cast<unsigned char>(FoldAscii(a[i]));
      auto cb = static_cast<unsigned char>(FoldAscii(b[j]));
      if (ca != cb) return ca < cb ? -1 : 1;
    } else {
      int c = a.substr(i, wa).compare(b.substr(j, wb));
      if (c != 0) return c < 0 ? -1 : 1;
    }
    i += wa;
    j += wb;
  }
  if (i < a.size()) return 1;
  if (j < b.size()) return -1;
  return 0;
}

}  // namespace text
