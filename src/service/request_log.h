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

// Writes the log line of one request: time, server, `clientAddress`, method, path, status and,
// for an API answer, its code. Bodies (passwords) are never logged. Whatever the client sent
// stays on the one line: blanks, control bytes, backslashes and bytes above 0x7E are written as
// "\xHH", a long path is cut, and a field the request lacks (a request line that could not be
// read) is "-".
void LogRequest(std::string_view server, std::string_view clientAddress,
                const httplib::Request& request, const httplib::Response& response);

}  // namespace service
