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

}  // namespace

void PrintLine(std::string_view line) {
  std::lock_guard lock(OutputMutex());
  std::fwrite(line.data(), 1, line.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

void LogRequest(std::string_view server, const httplib::Request& request,
                const httplib::Response& response) {
  std::string line = NowText();
  line.append(" ").append(server).append(" ").append(request.remote_addr);
  line.append(" ").append(request.method).append(" ").append(request.path);
  line.append(" ").append(std::to_string(response.status));
  std::string code = AnswerCode(response);
  if (!code.empty()) line.append(" code=").append(code);
  PrintLine(line);
}

}  // namespace service
