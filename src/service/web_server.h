// The registration web page of the stand-in service (plain HTTP): a form at "/" that creates an
// account with a trial expiry date, and a page for the outcome.
#pragma once

namespace httplib {
class Server;
}  // namespace httplib

namespace service {

class Ledger;

// Installs "/" (the form), "/register" (the form's target) and the error pages.
void InstallWebRoutes(httplib::Server& server, Ledger& ledger);

}  // namespace service
