#include "service/request_log.h"

#include <httplib.h>

#include <cstdio>
#include <mutex>

#include "service/dates.h"

namespace service {
namespace {

std::mutex& OutputMutex() {
  static std::mutex mutex;
  return mutex;
}

// Returns the value of "code" in a one-line JSON answer, or an empty text.
std::string AnswerCode(const httplib::Response& response) {
  if (response.get_header_value("Content-Type").rfind("application/json", 0) != 0) return {};
  const std::string& body = response.body;
  const std::string key = "\"code\":\"";
  std::size_t start = body.find(key);
  if (start == std::string::npos) return {};
  start += key.size();
  std::size_t end = body.find('"', start);
  return end == std::string::npos ? std::string() : body.substr(start, end - start);
}

// Longest logged path: a path is cut here, in the log only.
constexpr std::size_t kMaxLoggedPath = 256;
// Longest logged method, client address or code.
constexpr std::size_t kMaxLoggedField = 64;

// Returns `text` fit for one field of a log line: printable ASCII other than the blank and the
// backslash stays, every other byte (a blank, a backslash, a line feed, NUL, a byte above 0x7E)
// becomes "\xHH"; a text of more than `limit` bytes is cut there and marked with "..."; an empty
// text is "-".
std::string LogField(std::string_view text, std::size_t limit) {
  if (text.empty()) return "-";
  std::string field;
  const std::string_view kept = text.substr(0, limit);
  for (char c : kept) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte > 0x20 && byte < 0x7F && byte != '\\') {
      field.push_back(c);
    } else {
      static constexpr char kHex[] = "0123456789abcdef";
      field.append("\\x");
      field.push_back(kHex[byte >> 4]);
      field.push_back(kHex[byte & 0x0F]);
    }
  }
  if (kept.size() < text.size()) field.append("...");
  return field;
}

}  // namespace

void PrintLine(std::string_view line) {
  std::lock_guard lock(OutputMutex());
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void LogRequest(std::string_view server, std::string_view clientAddress,
                const httplib::Request& request, const httplib::Response& response) {
  std::string line = NowText();
  line.append(" ").append(server);
  line.append(" ").append(LogField(clientAddress, kMaxLoggedField));
  line.append(" ").append(LogField(request.method, kMaxLoggedField));
  line.append(" ").append(LogField(request.path, kMaxLoggedPath));
  line.append(" ").append(std::to_string(response.status));
  std::string code = AnswerCode(response);
  if (!code.empty()) line.append(" code=").append(LogField(code, kMaxLoggedField));
  PrintLine(line);
}

}  // namespace service
