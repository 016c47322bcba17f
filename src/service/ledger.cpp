#include "service/ledger.h"

#include <algorithm>
#include <utility>

#include "service/dates.h"
#include "service/passwords.h"
#include "text/gbk.h"

namespace service {
namespace {

bool IsNameChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' ||
         c == '.' || c == '-' || c == '@';
}

LedgerReply Code(std::string_view code) {
  return {std::string(code), std::nullopt};
}

}  // namespace

bool IsValidUserName(std::string_view name) {
  return name.size() >= 3 && name.size() <= 32 && std::all_of(name.begin(), name.end(), IsNameChar);
}

bool IsValidPassword(std::string_view password) {
  return password.size() >= 3 && password.size() <= 32 &&
         std::all_of(password.begin(), password.end(),
                     [](char c) { return c >= 0x20 && c < 0x7F; });
}

Ledger::Ledger(ServiceData data, const DataFolder& folder)
    : data_(std::move(data)), folder_(folder) {}

Account* Ledger::FindAccount(std::string_view name) {
  auto it = std::find_if(data_.accounts.begin(), data_.accounts.end(),
                         [name](const Account& account) { return account.name == name; });
  return it == data_.accounts.end() ? nullptr : &*it;
}

Account* Ledger::CheckLogin(std::string_view name, std::string_view password) {
  Account* account = FindAccount(name);
  if (account == nullptr || !VerifyPassword(password, account->password)) return nullptr;
  return account;
}

bool Ledger::IsExpired(const Account& account) const {
  auto due = ParseDate(account.dueDate);
  return !due || *due < Today();
}

LedgerReply Ledger::Recharge(std::string_view name, std::string_view password,
                             std::string_view cardNo) {
  std::lock_guard lock(mutex_);
  Account* account = CheckLogin(name, password);
  if (account == nullptr) return Code(kCodeBadLogin);
  auto card = std::find_if(data_.cards.begin(), data_.cards.end(),
                           [cardNo](const Card& c) { return c.number == cardNo; });
  if (card == data_.cards.end() || !card->usedBy.empty()) return Code(kCodeBadCard);

  const Account oldAccount = *account;
  const Card oldCard = *card;
  std::chrono::sys_days from = std::max(Today(), ParseDate(account->dueDate).value_or(Today()));
  account->dueDate = FormatDate(from + std::chrono::days(card->days));
  card->usedBy = account->name;
  card->usedAt = NowText();
  if (!folder_.SaveAccounts(data_)) {
    *account = oldAccount;
    *card = oldCard;
    return Code(kCodeNotSaved);
  }
  return {std::string(kCodeOk), account->dueDate};
}

LedgerReply Ledger::FreshIkuai(std::string_view name, std::string_view password) {
  std::lock_guard lock(mutex_);
  return Code(CheckLogin(name, password) ? kCodeOk : kCodeBadLogin);
}

LedgerReply Ledger::ChangePassword(std::string_view name, std::string_view superKey,
                                   std::string_view newPassword) {
  std::lock_guard lock(mutex_);
  Account* account = FindAccount(name);
  if (account == nullptr || !VerifyPassword(superKey, account->superPassword)) {
    return Code(kCodeBadSuperKey);
  }
  if (!IsValidPassword(newPassword)) return Code(kCodeRefusedPassword);
  std::string hash = HashPassword(newPassword);
  if (hash.empty()) return Code(kCodeNotSaved);
  std::string old = std::exchange(account->password, std::move(hash));
  if (!folder_.SaveAccounts(data_)) {
    account->password = std::move(old);
    return Code(kCodeNotSaved);
  }
  return Code(kCodeOk);
}

LedgerReply Ledger::ContactServer(std::string_view name, std::string_view password,
                                  std::string_view vpnId) {
  std::lock_guard lock(mutex_);
  Account* account = CheckLogin(name, password);
  if (account == nullptr) return Code(kCodeBadLogin);
  if (account->disabled) return Code(kCodeRefusedServer);
  if (IsExpired(*account)) return {std::string(kCodeExpired), account->dueDate};
  bool known = std::any_of(data_.servers.begin(), data_.servers.end(),
                           [vpnId](const Server& server) { return server.vpnNo == vpnId; });
  if (!known) return Code(kCodeRefusedServer);
  return {std::string(kCodeOk), account->dueDate};
}

LedgerReply Ledger::GetDueDate(std::string_view name, std::string_view password) {
  std::lock_guard lock(mutex_);
  Account* account = CheckLogin(name, password);
  if (account == nullptr) return Code(kCodeBadLogin);
  return {std::string(IsExpired(*account) ? kCodeExpired : kCodeOk), account->dueDate};
}

std::vector<Server> Ledger::Servers() const {
  std::lock_guard lock(mutex_);
  return data_.servers;
}

Notice Ledger::CurrentNotice() const {
  std::lock_guard lock(mutex_);
  return data_.notice;
}

RegisterOutcome Ledger::Register(std::string_view name, std::string_view password,
                                 std::string_view superPassword, std::string& dueDate) {
  if (!IsValidUserName(name)) return RegisterOutcome::kBadName;
  if (!IsValidPassword(password)) return RegisterOutcome::kBadPassword;
  if (!IsValidPassword(superPassword)) return RegisterOutcome::kBadSuperPassword;
  std::lock_guard lock(mutex_);
  // Names differing only in letter case would be told apart by nobody reading them.
  bool taken = std::any_of(data_.accounts.begin(), data_.accounts.end(),
                           [name](const Account& a) { return text::EqualsNoCase(a.name, name); });
  if (taken) return RegisterOutcome::kNameTaken;
  Account account{std::string(name),
                  HashPassword(password),
                  HashPassword(superPassword),
                  FormatDate(Today() + std::chrono::days(kTrialDays)),
                  NowText(),
                  false};
  if (account.password.empty() || account.superPassword.empty()) return RegisterOutcome::kNotSaved;
  data_.accounts.push_back(account);
  if (!folder_.SaveAccounts(data_)) {
    data_.accounts.pop_back();
    return RegisterOutcome::kNotSaved;
  }
  dueDate = account.dueDate;
  return RegisterOutcome::kCreated;
}

}  // namespace service
