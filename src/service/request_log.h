// One line on standard output per request the stand-in service answers.
#pragma once

#include <string>
#include <string_view>

namespace httplib {
struct Request;
struct Response;
}  // namespace httplib

namespace service {

// Writes a line to standard output and flushes it; safe from several threads.
void PrintLine(std::string_view line);

// Writes the log line of one request: time, server, client address, method, path, status and,
// for an API answer, its code. Bodies (passwords) are never logged.
void LogRequest(std::string_view server, const httplib::Request& request,
                const httplib::Response& response);

}  // namespace service
