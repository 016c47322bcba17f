// The stand-in service, run as its own process on free ports, driven with GBK bodies by the
// client's own CHttpClient and API calls.
#include <gtest/gtest.h>
#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/sha.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <optional>

#include "api/service_api.h"
#include "api/test_support.h"
#include "service_process.h"
#include "text/gbk.h"

namespace service_test {
namespace {

using api::CHttpClient;
using api_test::ScopedClientOptions;
using api_test::TempFolder;

std::string DateFromToday(int days) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  using namespace std::chrono;
  sys_days day = sys_days(year(local.tm_year + 1900) / month(local.tm_mon + 1) / local.tm_mday) +
                 std::chrono::days(days);
  year_month_day ymd(day);
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%04d-%02u-%02u", static_cast<int>(ymd.year()),
                static_cast<unsigned>(ymd.month()), static_cast<unsigned>(ymd.day()));
  return buffer;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFile(const std::string& path, const std::string& contents) {
  std::ofstream(path, std::ios::binary | std::ios::trunc) << contents;
}

std::string Card(int n) {
  char number[40];
  std::snprintf(number, sizeof number, "TUNVIKDEMOCARD%018d", n);
  return number;
}

class ServiceTest : public ::testing::Test {
 protected:
  std::string DataDir() const { return folder_.path() + "/data"; }

  // Starts (or restarts) the service on the data folder.
  void Start() {
    client_.reset();
    service_.reset();
    service_ = std::make_unique<ServiceProcess>(DataDir());
    ASSERT_TRUE(service_->ready()) << Output();
    client_.emplace(api_test::TestOptions(service_->pin()));
  }

  std::string Output() const {
    std::string text;
    if (service_) {
      for (const std::string& line : service_->Lines()) text += line + "\n";
    }
    return text;
  }

  api::ApiMembers Members() const { return api::ApiMembers(service_->apiBase()); }

  // Posts `body` as is to an endpoint; returns the client's result.
  int PostRaw(const std::string& endpoint, const std::string& body, std::string& answer) {
    return CHttpClient().Execute("POST", service_->apiBase() + endpoint, &body, answer);
  }

  TempFolder folder_;
  std::unique_ptr<ServiceProcess> service_;
  std::optional<ScopedClientOptions> client_;
};

TEST_F(ServiceTest, ServesTheDemoNoticeAndServersAsPlainUtf8) {
  Start();
  api::ApiMembers members = Members();
  api::NoticeReply notice = api::GetNotice(members);
  ASSERT_EQ(notice.answered, api::Answered::kPrimary);
  EXPECT_TRUE(notice.parsed);
  EXPECT_EQ(text::GbkToUtf8(notice.msg),
            "欢迎使用演示服务！演示账号 demo，密码 demo123，可用一年。");
  EXPECT_EQ(notice.version, "10.6");
  // One line, the characters themselves, no "\u" escapes.
  EXPECT_EQ(members.responseText.find("\\u"), std::string::npos);

  api::ServerListReply list = api::GetVpnHost(members);
  ASSERT_TRUE(list.isList);
  ASSERT_EQ(list.servers.size(), 3u);
  const char* regions[] = {"华东-上海", "华北-北京", "华南-广州"};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(list.servers[i].vpnNo, std::to_string(i + 1));
    EXPECT_EQ(text::GbkToUtf8(list.servers[i].vpnAddress), regions[i]);
    EXPECT_EQ(list.servers[i].vpnHost, "127.0.0.1");
  }
}

TEST_F(ServiceTest, AnswersLoginsAndExpiryByTheAccount) {
  Start();
  struct Case {
    const char* name;
    const char* user;
    const char* password;
    std::string vpnId;
    std::string contactCode;
    std::string dueDateCode;
    std::optional<std::string> dueDate;
  } cases[] = {
      {"valid demo", "demo", "demo123", "1", "200", "200", DateFromToday(365)},
      {"another server", "demo", "demo123", "3", "200", "200", DateFromToday(365)},
      {"unknown server", "demo", "demo123", "9", "214", "200", DateFromToday(365)},
      {"wrong password", "demo", "demo12", "1", "201", "201", std::nullopt},
      {"user names are exact", "Demo", "demo123", "1", "201", "201", std::nullopt},
      {"unknown user", "nobody", "demo123", "1", "201", "201", std::nullopt},
      {"expired", "old", "old123", "1", "202", "202", DateFromToday(-30)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    api::ApiMembers members = Members();
    api::DueDateReply login = api::ContactServer(members, c.user, c.password, c.vpnId);
    EXPECT_EQ(login.answered, api::Answered::kPrimary);
    EXPECT_EQ(login.code, c.contactCode);
    EXPECT_EQ(login.dueDate, c.contactCode == "214" ? std::nullopt : c.dueDate);
    api::DueDateReply expiry = api::GetDueDate(members, c.user, c.password);
    EXPECT_EQ(expiry.code, c.dueDateCode);
    EXPECT_EQ(expiry.dueDate, c.dueDate);
  }
}

TEST_F(ServiceTest, RechargesWithEachCardOnce) {
  Start();
  api::ApiMembers members = Members();
  api::CodeReply first = api::Recharge(members, "demo", "demo123", Card(1));
  EXPECT_EQ(first.code, "200");
  EXPECT_EQ(api::GetDueDate(members, "demo", "demo123").dueDate, DateFromToday(365 + 30));
  api::SendRechargeFollowUp(members, "demo", "demo123", api::AnsweredBase(members, first.answered));
  EXPECT_EQ(members.requestUrl, service_->apiBase() + "freshikuai");
  EXPECT_EQ(members.responseText, "{\"code\":\"200\"}");

  EXPECT_EQ(api::Recharge(members, "demo", "demo123", Card(1)).code, "205");  // used
  EXPECT_EQ(api::Recharge(members, "demo", "demo123", "TUNVIKDEMOCARD000000000000000009").code,
            "205");
  EXPECT_EQ(api::Recharge(members, "demo", "wrong", Card(2)).code, "201");
  EXPECT_EQ(api::Recharge(members, "nobody", "demo123", Card(2)).code, "201");

  // An expired account counts its 30 days from today.
  EXPECT_EQ(api::Recharge(members, "old", "old123", Card(2)).code, "200");
  api::DueDateReply renewed = api::GetDueDate(members, "old", "old123");
  EXPECT_EQ(renewed.code, "200");
  EXPECT_EQ(renewed.dueDate, DateFromToday(30));
  EXPECT_EQ(api::ContactServer(members, "old", "old123", "2").code, "200");
}

TEST_F(ServiceTest, ChangesThePasswordWithTheSuperPassword) {
  Start();
  api::ApiMembers members = Members();
  EXPECT_EQ(api::ChangePassword(members, "demo", "wrong", "newpass").code, "204");
  EXPECT_EQ(api::ChangePassword(members, "nobody", "super123", "newpass").code, "204");
  EXPECT_EQ(api::ChangePassword(members, "demo", "super123", "ab").code, "203");
  EXPECT_EQ(api::ChangePassword(members, "demo", "super123", text::Utf8ToGbk("新密码")).code,
            "203");
  EXPECT_EQ(api::ChangePassword(members, "demo", "super123", "newpass").code, "200");
  EXPECT_EQ(api::ContactServer(members, "demo", "newpass", "1").code, "200");
  EXPECT_EQ(api::ContactServer(members, "demo", "demo123", "1").code, "201");
}

TEST_F(ServiceTest, ReadsRequestBodiesAsGbk) {
  std::filesystem::create_directories(DataDir());
  WriteFile(DataDir() + "/servers.json",
            "[{\"vpnNo\":\"一号\",\"vpnAddress\":\"西南-成都\",\"vpnHost\":\"127.0.0.1\"},"
            "{\"vpnNo\":\"昞\\\\\",\"vpnAddress\":\"\",\"vpnHost\":\"127.0.0.1\"}]");
  Start();
  api::ApiMembers members = Members();
  EXPECT_EQ(api::ContactServer(members, "demo", "demo123", text::Utf8ToGbk("一号")).code, "200");
  // The second byte of 昞 (95 5C) is a backslash: it arrives as part of its character.
  EXPECT_EQ(api::ContactServer(members, "demo", "demo123", text::Utf8ToGbk("昞\\")).code, "200");
  EXPECT_EQ(api::ContactServer(members, "demo", "demo123", text::Utf8ToGbk("二号")).code, "214");
  // The same text in UTF-8 is another text in GBK.
  EXPECT_EQ(api::ContactServer(members, "demo", "demo123", "一号").code, "214");
  api::ServerListReply list = api::GetVpnHost(members);
  ASSERT_EQ(list.servers.size(), 2u);
  EXPECT_EQ(list.servers[0].vpnAddress, text::Utf8ToGbk("西南-成都"));
}

TEST_F(ServiceTest, RefusesBadInputAndKeepsServing) {
  Start();
  struct Case {
    const char* name;
    std::string verb;
    std::string endpoint;
    std::optional<std::string> body;
    std::string code;  // "" when the answer is no JSON of ours
  } cases[] = {
      {"no json", "POST", "contactServer", std::string("name=demo"), "400"},
      {"an array", "POST", "contactServer", std::string("[\"demo\"]"), "400"},
      {"a number for a text", "POST", "contactServer",
       std::string("{\"name\":\"demo\",\"password\":123,\"vpn_id\":\"1\"}"), "400"},
      {"null for a text", "POST", "contactServer",
       std::string("{\"name\":\"demo\",\"password\":null,\"vpn_id\":\"1\"}"), "400"},
      {"nested past the parser's depth", "POST", "getDueDate", std::string(4000, '['), "400"},
      {"a member nested past the depth", "POST", "getDueDate",
       "{\"name\":" + std::string(4000, '[') + std::string(4000, ']') + "}", "400"},
      {"bytes that are no gbk", "POST", "getDueDate", std::string("\xff\xff\xff"), "400"},
      {"empty body", "POST", "recharge", std::string(), "400"},
      {"oversized body", "POST", "recharge", "{\"name\":\"" + std::string(100 * 1024, 'a') + "\"}",
       "413"},
      {"unknown endpoint", "POST", "deleteEverything", std::string("{}"), "404"},
      {"wrong verb", "GET", "recharge", std::nullopt, "405"},
      {"wrong verb for a list", "POST", "getVpnHost", std::string("{}"), "405"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string answer;
    EXPECT_EQ(CHttpClient().Execute(c.verb, service_->apiBase() + c.endpoint,
                                    c.body ? &*c.body : nullptr, answer),
              CHttpClient::REQ_FAILURE);
    Json::Value root;
    ASSERT_TRUE(api::ParseAnswer(answer, root)) << answer;
    EXPECT_EQ(api::MemberText(root, "code"), c.code);
  }
  // Missing members read as empty texts: an unknown login, not a malformed request.
  std::string answer;
  EXPECT_EQ(PostRaw("contactServer", "{}", answer), CHttpClient::REQ_SUCCESS);
  EXPECT_EQ(answer, "{\"code\":\"201\"}");
  api::ApiMembers members = Members();
  EXPECT_EQ(api::GetNotice(members).version, "10.6");
}

std::string PinOfCertificateFile(const std::string& path) {
  FILE* file = std::fopen(path.c_str(), "r");
  X509* cert = file ? PEM_read_X509(file, nullptr, nullptr, nullptr) : nullptr;
  if (file) std::fclose(file);
  if (cert == nullptr) return std::string();
  unsigned char* der = nullptr;
  int size = i2d_X509_PUBKEY(X509_get_X509_PUBKEY(cert), &der);
  unsigned char digest[SHA256_DIGEST_LENGTH];
  SHA256(der, static_cast<std::size_t>(size), digest);
  OPENSSL_free(der);
  X509_free(cert);
  unsigned char text[64];
  int n = EVP_EncodeBlock(text, digest, sizeof digest);
  return "sha256//" + std::string(reinterpret_cast<char*>(text), static_cast<std::size_t>(n));
}

TEST_F(ServiceTest, KeepsItsDataAndKeysAcrossRestarts) {
  Start();
  const std::string pin = service_->pin();
  const std::string updateKey = service_->updateKey();
  EXPECT_EQ(pin, PinOfCertificateFile(DataDir() + "/api-cert.pem"));
  EXPECT_EQ(updateKey.size(), 44u);
  api::ApiMembers members = Members();
  ASSERT_EQ(api::Recharge(members, "demo", "demo123", Card(3)).code, "200");
  ASSERT_EQ(api::ChangePassword(members, "old", "super123", "changed").code, "200");
  EXPECT_EQ(service_->Stop(), 0);

  Start();
  EXPECT_EQ(service_->pin(), pin);
  EXPECT_EQ(service_->updateKey(), updateKey);
  members = Members();
  EXPECT_EQ(api::GetDueDate(members, "demo", "demo123").dueDate, DateFromToday(365 + 30));
  EXPECT_EQ(api::Recharge(members, "demo", "demo123", Card(3)).code, "205");
  EXPECT_EQ(api::GetDueDate(members, "old", "changed").code, "202");

  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(DataDir())) {
    names.insert(entry.path().filename().string());
  }
  EXPECT_EQ(names,
            (std::set<std::string>{"accounts.json", "api-cert.pem", "api-key.pem", "notice.json",
                                   "servers.json", "update-signing-key.pem", "updates"}));
  // No password is stored as its text.
  EXPECT_EQ(ReadFile(DataDir() + "/accounts.json").find("demo123"), std::string::npos);
}

TEST_F(ServiceTest, RegistersAccountsOnItsWebPage) {
  Start();
  httplib::Client web(service_->registerUrl().substr(0, service_->registerUrl().size() - 1));
  auto form = web.Get("/");
  ASSERT_TRUE(form);
  EXPECT_EQ(form->status, 200);
  EXPECT_NE(form->body.find("<form method=\"post\" action=\"/register\">"), std::string::npos);

  auto post = [&](const std::string& name, const std::string& password,
                  const std::string& confirmation, const std::string& super) {
    httplib::Params params{{"name", name},
                           {"password", password},
                           {"password2", confirmation},
                           {"superPassword", super}};
    return web.Post("/register", params);
  };
  auto created = post("alice", "alice1", "alice1", "secret1");
  ASSERT_TRUE(created);
  EXPECT_EQ(created->status, 200);
  EXPECT_NE(created->body.find(DateFromToday(3)), std::string::npos);
  api::ApiMembers members = Members();
  api::DueDateReply login = api::ContactServer(members, "alice", "alice1", "1");
  EXPECT_EQ(login.code, "200");
  EXPECT_EQ(login.dueDate, DateFromToday(3));
  EXPECT_EQ(api::ChangePassword(members, "alice", "secret1", "alice2").code, "200");

  struct Refusal {
    const char* name;
    std::string user, password, confirmation, super;
    int status;
  } refusals[] = {
      {"name taken in other letter case", "ALICE", "abc", "abc", "abc", 409},
      {"name too short", "al", "abc", "abc", "abc", 400},
      {"name with a blank", "al ice", "abc", "abc", "abc", 400},
      {"chinese name", "张三丰", "abc", "abc", "abc", 400},
      {"passwords differ", "bob", "abc", "abd", "abc", 400},
      {"password too short", "bob", "ab", "ab", "abc", 400},
      {"no super password", "bob", "abc", "abc", "", 400},
      {"markup in the name", "<b>x</b>", "abc", "abc", "abc", 400},
  };
  for (const Refusal& r : refusals) {
    SCOPED_TRACE(r.name);
    auto refused = post(r.user, r.password, r.confirmation, r.super);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, r.status);
    EXPECT_NE(refused->body.find("注册失败"), std::string::npos);
    EXPECT_EQ(refused->body.find("<b>x</b>"), std::string::npos);
  }
  EXPECT_EQ(api::ContactServer(members, "bob", "abc", "1").code, "201");
  auto missing = web.Get("/admin");
  ASSERT_TRUE(missing);
  EXPECT_EQ(missing->status, 404);
}

bool VerifySignature(const std::string& publicKeyBase64, const std::string& message,
                     const std::string& signatureBase64) {
  unsigned char raw[48];
  unsigned char signature[96];
  int keySize = EVP_DecodeBlock(raw, reinterpret_cast<const unsigned char*>(publicKeyBase64.data()),
                                static_cast<int>(publicKeyBase64.size()));
  int signatureSize =
      EVP_DecodeBlock(signature, reinterpret_cast<const unsigned char*>(signatureBase64.data()),
                      static_cast<int>(signatureBase64.size()));
  if (keySize < 32 || signatureSize < 64) return false;
  EVP_PKEY* key = EVP_PKEY_new_raw_public_key(EVP_PKEY_ED25519, nullptr, raw, 32);
  EVP_MD_CTX* ctx = EVP_MD_CTX_new();
  bool ok =
      key != nullptr && ctx != nullptr &&
      EVP_DigestVerifyInit(ctx, nullptr, nullptr, nullptr, key) == 1 &&
      EVP_DigestVerify(ctx, signature, 64, reinterpret_cast<const unsigned char*>(message.data()),
                       message.size()) == 1;
  EVP_MD_CTX_free(ctx);
  EVP_PKEY_free(key);
  return ok;
}

TEST_F(ServiceTest, OffersTheNewestVersionSigned) {
  Start();
  httplib::Client update(service_->updateBase());
  auto ini = update.Get("/xol/xolversion10.6.ini");
  ASSERT_TRUE(ini);
  EXPECT_EQ(ini->status, 200);
  const std::string port = service_->updateBase().substr(service_->updateBase().rfind(':') + 1);
  EXPECT_EQ(text::GbkToUtf8(ini->body),
            "[MAINVER]\r\nmainver=10.6\r\ncontent=演示版本 10.6：连接更稳定。\r\n"
            "newverurl=http://127.0.0.1:" +
                port + "/xol/Quoril_10.6\r\n");
  EXPECT_EQ(update.Get("/xol/Quoril_10.6")->status, 404);  // no program file yet
  service_->Stop();

  const std::string program = std::string(
      "\x7f"
      "ELF new client\0\xff",
      18);
  WriteFile(DataDir() + "/updates/Quoril_10.7", program);
  WriteFile(DataDir() + "/notice.json",
            "{\"msg\":\"新版本 10.7\",\"version\":\"10.7\",\"content\":\"修复了断线重连\"}");
  Start();
  httplib::Client updated(service_->updateBase());
  ini = updated.Get("/xol/xolversion10.6.ini");
  ASSERT_TRUE(ini);
  const std::string body = text::GbkToUtf8(ini->body);
  EXPECT_NE(body.find("mainver=10.7\r\n"), std::string::npos) << body;
  EXPECT_NE(body.find("content=修复了断线重连\r\n"), std::string::npos) << body;
  const std::string url =
      "http://127.0.0.1:" + service_->updateBase().substr(service_->updateBase().rfind(':') + 1) +
      "/xol/Quoril_10.7";
  EXPECT_NE(body.find("newverurl=" + url + "\r\n"), std::string::npos) << body;

  auto file = updated.Get("/xol/Quoril_10.7");
  ASSERT_TRUE(file);
  EXPECT_EQ(file->status, 200);
  EXPECT_EQ(file->body, program);
  auto signature = updated.Get("/xol/Quoril_10.7.sig");
  ASSERT_TRUE(signature);
  ASSERT_EQ(signature->status, 200);
  std::string sig = signature->body;
  ASSERT_TRUE(sig.ends_with("\n"));
  sig.pop_back();
  EXPECT_TRUE(VerifySignature(service_->updateKey(), program, sig));
  EXPECT_FALSE(VerifySignature(service_->updateKey(), program + "x", sig));

  for (const char* path :
       {"/xol/..%2Faccounts.json", "/xol/.hidden", "/xol/", "/accounts.json", "/xol/Quoril_10.8"}) {
    SCOPED_TRACE(path);
    auto refused = updated.Get(path);
    ASSERT_TRUE(refused);
    EXPECT_EQ(refused->status, 404);
  }
}

TEST_F(ServiceTest, LogsOneLinePerRequestWithoutSecrets) {
  Start();
  api::ApiMembers members = Members();
  api::ContactServer(members, "demo", "demo123", "1");
  api::GetDueDate(members, "demo", "wrongpass");
  api::GetNotice(members);
  auto isApiLine = [](const std::string& line) {
    return line.find(" api 127.0.0.1 ") != std::string::npos;
  };
  ASSERT_TRUE(service_->WaitForLines(isApiLine, 3));
  std::vector<std::string> lines;
  for (const std::string& line : service_->Lines()) {
    if (isApiLine(line)) lines.push_back(line);
  }
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_TRUE(lines[0].ends_with(" POST /api/contactServer 200 code=200")) << lines[0];
  EXPECT_TRUE(lines[1].ends_with(" POST /api/getDueDate 200 code=201")) << lines[1];
  EXPECT_TRUE(lines[2].ends_with(" GET /api/getNotice 200")) << lines[2];
  for (const std::string& line : service_->Lines()) {
    EXPECT_EQ(line.find("demo123"), std::string::npos) << line;
    EXPECT_EQ(line.find("wrongpass"), std::string::npos) << line;
  }
}

TEST(ServiceCommandLineTest, ExplainsItselfAndRefusesBadOptionsAndData) {
  std::string output;
  EXPECT_EQ(RunServiceToEnd({"--help"}, output), 0);
  EXPECT_NE(output.find("Usage: tunvik-service"), std::string::npos);
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {"--bogus"}, {"--api-port", "70000"}, {"--web-port"}, {"--data="}}) {
    output.clear();
    EXPECT_EQ(RunServiceToEnd(args, output), 2) << args[0];
    EXPECT_NE(output.find("tunvik-service:"), std::string::npos);
  }

  TempFolder folder;
  const std::string broken = "{\"accounts\": [ this is no json";
  WriteFile(folder.path() + "/accounts.json", broken);
  output.clear();
  EXPECT_EQ(RunServiceToEnd({"--data", folder.path(), "--api-port", "0", "--web-port", "0",
                             "--update-port", "0"},
                            output),
            1);
  EXPECT_NE(output.find(folder.path() + "/accounts.json"), std::string::npos) << output;
  EXPECT_EQ(ReadFile(folder.path() + "/accounts.json"), broken);
}

}  // namespace
}  // namespace service_test
