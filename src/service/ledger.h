// The business rules of the stand-in service: logins, expiry, recharges with prepaid cards,
// password changes and registrations, over the data of the data folder.
//
// All operations are safe to call from the server threads at once. A change is saved before it is
// answered; when saving fails the change is undone and the answer says so.
#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "service/data_folder.h"
#include "service/service_data.h"

namespace service {

// Codes of the API answers.
inline constexpr std::string_view kCodeOk = "200";
inline constexpr std::string_view kCodeBadLogin = "201";  // unknown user or wrong password
inline constexpr std::string_view kCodeExpired = "202";
inline constexpr std::string_view kCodeRefusedPassword = "203";  // new password not acceptable
inline constexpr std::string_view kCodeBadSuperKey = "204";      // unknown user or wrong super key
inline constexpr std::string_view kCodeBadCard = "205";          // unknown or used card
inline constexpr std::string_view kCodeRefusedServer = "214";    // unknown server, disabled account
inline constexpr std::string_view kCodeNotSaved = "500";         // the change could not be saved

// Days of a new account made on the registration page.
inline constexpr int kTrialDays = 3;

struct LedgerReply {
  std::string code;
  std::optional<std::string> dueDate;
};

enum class RegisterOutcome {
  kCreated,
  kNameTaken,
  kBadName,
  kBadPassword,
  kBadSuperPassword,
  kNotSaved
};

// Returns true for a user name of 3 to 32 ASCII letters, digits, "_", ".", "-" or "@".
bool IsValidUserName(std::string_view name);

// Returns true for a password of 3 to 32 printable ASCII characters (blanks included).
bool IsValidPassword(std::string_view password);

class Ledger {
 public:
  Ledger(ServiceData data, const DataFolder& folder);

  // recharge: 201 bad login, 205 unknown or used card, else 200 with the new expiry date: the
  // card's days added to the later of today and the old expiry date.
  LedgerReply Recharge(std::string_view name, std::string_view password, std::string_view cardNo);
  // freshikuai: 200 for a valid login, else 201; changes nothing.
  LedgerReply FreshIkuai(std::string_view name, std::string_view password);
  // changePwd: 204 unknown user or wrong super password, 203 a new password that is not valid,
  // else 200.
  LedgerReply ChangePassword(std::string_view name, std::string_view superKey,
                             std::string_view newPassword);
  // contactServer: 201 bad login, 214 disabled account, 202 expired, 214 unknown server, else
  // 200; the expiry date goes with 200 and 202.
  LedgerReply ContactServer(std::string_view name, std::string_view password,
                            std::string_view vpnId);
  // getDueDate: 201 bad login, 202 expired, else 200; the expiry date goes with 200 and 202.
  LedgerReply GetDueDate(std::string_view name, std::string_view password);

  std::vector<Server> Servers() const;
  Notice CurrentNotice() const;

  // Makes a new account valid for kTrialDays from today; `dueDate` receives its expiry date.
  RegisterOutcome Register(std::string_view name, std::string_view password,
                           std::string_view superPassword, std::string& dueDate);

 private:
  Account* FindAccount(std::string_view name);
  Account* CheckLogin(std::string_view name, std::string_view password);
  bool IsExpired(const Account& account) const;

  mutable std::mutex mutex_;
  ServiceData data_;
  const DataFolder& folder_;
};

}  // namespace service
