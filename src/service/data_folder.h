// The data folder of the stand-in service: accounts.json (accounts and prepaid cards),
// servers.json, notice.json, the keys, and updates/ with the program files it serves.
//
// Every file is written atomically. A missing file is created with the demo content; a file that
// exists but cannot be read is an error, never overwritten.
#pragma once

#include <string>
#include <vector>

#include "service/service_data.h"

namespace service {

class DataFolder {
 public:
  explicit DataFolder(std::string path);

  // Creates the folder (and updates/) if needed and reads every data file into `data`, writing
  // the demo content for each missing one; the names of those go to `created`. Returns false
  // with `error` set when the folder cannot be made or a file cannot be read, parsed or written.
  bool Load(ServiceData& data, std::vector<std::string>& created, std::string& error);

  // Writes the accounts and cards of `data` to accounts.json. Returns false when it failed; the
  // file is then unchanged.
  bool SaveAccounts(const ServiceData& data) const;

  const std::string& path() const { return path_; }
  // The folder of the program files that the update server offers.
  std::string UpdatesPath() const { return path_ + "/updates"; }

 private:
  std::string path_;
};

}  // namespace service
