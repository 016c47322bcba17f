// The update server of the stand-in service (plain HTTP): the version description
// /xol/xolversion<version>.ini of the newest version, and the program files of the data folder's
// updates/ with their signatures.
#pragma once

#include <string>

namespace httplib {
class Server;
}  // namespace httplib

namespace service {

class Ledger;

// Returns the file name of the program file of `version`: "Quoril_" + version.
std::string ProgramFileName(const std::string& version);

// Installs the routes on `server`. The description names the notice's newest
// version, its content line and the program file's address on this server; program files and
// their ".sig" files are served from `updatesPath`.
void InstallUpdateRoutes(httplib::Server& server, Ledger& ledger, const std::string& updatesPath);

}  // namespace service
