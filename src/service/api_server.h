// The HTTPS API of the stand-in service: the seven endpoints under /api/, each answered with one
// line of UTF-8 JSON.
#pragma once

namespace httplib {
class Server;
}  // namespace httplib

namespace service {

class Ledger;

// The largest request body the API accepts; larger ones get status 413.
inline constexpr unsigned long kMaxApiBody = 64 * 1024;

// Installs the endpoints and the JSON error answers (400 no JSON object or a member that is no
// text, 404 unknown path, 405 wrong method, 413 body too large) on `server`.
void InstallApiRoutes(httplib::Server& server, Ledger& ledger);

}  // namespace service
