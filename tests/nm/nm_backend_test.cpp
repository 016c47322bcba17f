// The NetworkManager backend against a real NetworkManager of the test's own: the profile an
// entry becomes for either protocol, rewriting and deleting it, and dials that NetworkManager
// refuses or that fail, through the dialer's own dial thread. This machine's kernel has no PPP,
// so no dial can complete here.
#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <future>
#include <mutex>

#include "hosttools/command_runner.h"
#include "hosttools/dialer_settings.h"
#include "nm_sandbox.h"
#include "settings/program_dir.h"
#include "text/gbk.h"
#include "vpn/dialer.h"
#include "vpn/nm_plugins_linux.h"
#include "vpn/nm_profile.h"
#include "vpn/ras_nm_linux.h"
#include "vpn/recording_view.h"

namespace {

using namespace std::chrono_literals;
using nmtest::Keyfile;
using nmtest::NmSandbox;
using vpntest::RecordingView;

// Passes every call on to the backend under test and keeps the handles of its dials, so that a
// test can ask the status query itself once the dial thread is done.
class HandleKeepingBackend : public vpn::RasBackend {
 public:
  explicit HandleKeepingBackend(std::shared_ptr<vpn::RasBackend> inner) : inner_(inner) {}
  unsigned SetEntryProperties(const vpn::RasEntry& entry) override {
    return inner_->SetEntryProperties(entry);
  }
  unsigned SetEntryDialParams(const vpn::RasDialParams& params) override {
    return inner_->SetEntryDialParams(params);
  }
  unsigned Dial(const vpn::RasDialParams& params, vpn::DialCallback callback,
                vpn::ConnectionHandle* handle) override {
    unsigned result = inner_->Dial(params, std::move(callback), handle);
    std::lock_guard lock(mutex_);
    if (result == vpn::kRasSuccess) handles_.push_back(*handle);
    return result;
  }
  unsigned GetConnectStatus(vpn::ConnectionHandle handle) override {
    return inner_->GetConnectStatus(handle);
  }
  unsigned HangUp(vpn::ConnectionHandle handle) override { return inner_->HangUp(handle); }
  unsigned DeleteEntry(const std::string& name) override { return inner_->DeleteEntry(name); }
  std::string GetErrorString(unsigned code) override { return inner_->GetErrorString(code); }
  void NotifyWhenGone(vpn::ConnectionHandle handle, std::function<void()> gone) override {
    inner_->NotifyWhenGone(handle, std::move(gone));
  }

  std::vector<vpn::ConnectionHandle> Handles() {
    std::lock_guard lock(mutex_);
    return handles_;
  }

 private:
  std::shared_ptr<vpn::RasBackend> inner_;
  std::mutex mutex_;
  std::vector<vpn::ConnectionHandle> handles_;
};

std::string Utf8(const std::string& gbk) {
  return text::GbkToUtf8(gbk);
}

// The dialer around a backend: its view, its shortened waits, a dial thread of its own.
class DialerHarness {
 public:
  explicit DialerHarness(std::shared_ptr<vpn::RasBackend> backend)
      : backend_(std::make_shared<HandleKeepingBackend>(std::move(backend))) {
    vpn::SetBackendForTesting(backend_);
    vpn::SetDialerView(&view);
    vpn::SetDialTimingsForTesting({3000ms, 100ms, 50ms, 10000ms});
  }
  ~DialerHarness() {
    vpn::SetDialerView(nullptr);
    vpn::SetBackendForTesting(nullptr);
    vpn::SetDialTimingsForTesting({});
  }

  std::future<int> Dial(const std::string& server, const std::string& protocol) {
    vpn::DialRequest request;
    request.entryName = "XOL";
    request.phoneNumber = server;
    request.userName = "demo";
    request.password = "demo123";
    request.stopEvent = stop;
    request.protocol = protocol;
    return std::async(std::launch::async, vpn::DialThread, request);
  }

  HandleKeepingBackend& Backend() { return *backend_; }

  RecordingView view;
  vpn::EventPtr stop = std::make_shared<vpn::Event>();

 private:
  std::shared_ptr<HandleKeepingBackend> backend_;
};

class NmBackend : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sandbox_ = new NmSandbox;
    whyNot_ = new std::string;
    for (const vpn::NmVpnPlugin* plugin : {&vpn::kL2tpPlugin, &vpn::kPptpPlugin}) {
      if (!vpn::NmPluginInstalled(plugin->service)) {
        *whyNot_ = std::string(plugin->package) + " is not installed";
        return;
      }
    }
    *whyNot_ = sandbox_->Start();
  }
  static void TearDownTestSuite() {
    delete sandbox_;
    delete whyNot_;
  }

  void SetUp() override {
    if (!whyNot_->empty()) GTEST_SKIP() << "no NetworkManager of the test's own: " << *whyNot_;
    settingsPath_ = sandbox_->Dir() + "/dialer.ini";
    std::filesystem::remove(settingsPath_);
    hosttools::SetDialerSettingsPathForTesting(settingsPath_);
    // The user's own dialer settings live in a folder of the test's, empty unless a test fills it.
    userConfig_ = sandbox_->Dir() + "/config";
    std::filesystem::remove_all(userConfig_);
    setenv("XDG_CONFIG_HOME", userConfig_.c_str(), 1);
    backend = MakeBackend();
  }
  void TearDown() override {
    hosttools::SetDialerSettingsPathForTesting({});
    unsetenv("XDG_CONFIG_HOME");
    if (backend) backend->DeleteEntry("XOL");
  }

  std::shared_ptr<vpn::NmRasBackend> MakeBackend(const std::string& pluginFolder = {}) {
    vpn::NmRasBackend::Options options;
    options.busAddress = sandbox_->BusAddress();
    options.pluginFolder = pluginFolder;
    return std::make_shared<vpn::NmRasBackend>(options);
  }

  void ProhibitIpSec(bool prohibit) {
    std::ofstream(settingsPath_) << "[RasMan]\nProhibitIpSec=" << (prohibit ? 1 : 0) << "\n";
  }

  unsigned WriteEntry(const std::string& server, const std::string& protocol,
                      const std::string& password = "demo123") {
    unsigned result = backend->SetEntryProperties(vpn::MakeDialEntry("XOL", server, protocol));
    if (result != vpn::kRasSuccess) return result;
    vpn::RasDialParams params;
    params.entryName = "XOL";
    params.userName = "demo";
    params.password = password;
    return backend->SetEntryDialParams(params);
  }

  std::vector<Keyfile> Profiles() { return sandbox_->ProfilesNamed("XOL"); }

  static NmSandbox* sandbox_;
  static std::string* whyNot_;
  std::string settingsPath_;
  std::string userConfig_;
  std::shared_ptr<vpn::NmRasBackend> backend;
};

NmSandbox* NmBackend::sandbox_ = nullptr;
std::string* NmBackend::whyNot_ = nullptr;

TEST_F(NmBackend, WritesTheEntryAsAProfileOfEitherProtocolAndDeletesIt) {
  struct Case {
    std::string protocol;
    bool prohibitIpSec;
    std::string service;
    std::string ipsec;  // empty: no such item
  };
  const std::vector<Case> cases = {
      {"0", false, "org.freedesktop.NetworkManager.l2tp", "yes"},
      {"0", true, "org.freedesktop.NetworkManager.l2tp", "no"},
      {"1", false, "org.freedesktop.NetworkManager.pptp", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("protocol " + c.protocol + (c.prohibitIpSec ? ", L2TP without IPsec" : ""));
    ProhibitIpSec(c.prohibitIpSec);
    ASSERT_EQ(WriteEntry("vpn.example.net", c.protocol), vpn::kRasSuccess);

    std::vector<Keyfile> profiles = Profiles();
    ASSERT_EQ(profiles.size(), 1u);
    Keyfile& p = profiles.front();
    EXPECT_EQ(p["connection"]["type"], "vpn");
    EXPECT_EQ(p["connection"]["autoconnect"], "false");
    EXPECT_EQ(p["vpn"]["service-type"], c.service);
    EXPECT_EQ(p["vpn"]["gateway"], "vpn.example.net");
    EXPECT_EQ(p["vpn"]["user"], "demo");
    EXPECT_EQ(p["vpn"]["password-flags"], "0");
    EXPECT_EQ(p["vpn-secrets"]["password"], "demo123");
    // CHAP or MS-CHAP v2, nothing weaker; encryption as the server offers it.
    EXPECT_EQ(p["vpn"]["refuse-pap"], "yes");
    EXPECT_EQ(p["vpn"]["refuse-eap"], "yes");
    EXPECT_EQ(p["vpn"]["refuse-mschap"], "yes");
    EXPECT_EQ(p["vpn"]["refuse-chap"], "no");
    EXPECT_EQ(p["vpn"]["refuse-mschapv2"], "no");
    EXPECT_EQ(p["vpn"].count("require-mppe"), 0u);
    EXPECT_EQ(p["vpn"].count("ipsec-enabled") ? p["vpn"]["ipsec-enabled"] : "", c.ipsec);
    // The default route goes through the tunnel.
    EXPECT_NE(p["ipv4"]["never-default"], "true");
    EXPECT_EQ(p["user"]["tunvik.entry"], "XOL");

    EXPECT_EQ(backend->DeleteEntry("XOL"), vpn::kRasSuccess);
    EXPECT_TRUE(Profiles().empty());
    EXPECT_EQ(backend->DeleteEntry("XOL"), 623u);
  }
}

// The 789 repair of a user without any right beyond their own writes the user's setting, and the
// next entry the dialer writes is L2TP without IPsec, although the system-wide file says
// otherwise.
TEST_F(NmBackend, TheRepairOfAnUnprivilegedUserReachesTheNextEntry) {
  ProhibitIpSec(false);
  std::filesystem::create_directory(userConfig_);
  ASSERT_EQ(chown(userConfig_.c_str(), 65534, 65534), 0);
  std::string output;
  int status = -1;
  output = hosttools::RunCommand(
      {"env", "XDG_CONFIG_HOME=" + userConfig_, "setpriv", "--reuid=65534", "--regid=65534",
       "--clear-groups", "--", settings::ProgramPath(), "--fix789-child"},
      {}, &status);
  ASSERT_EQ(status, 0) << output;

  ASSERT_EQ(WriteEntry("vpn.example.net", "0"), vpn::kRasSuccess);
  std::vector<Keyfile> profiles = Profiles();
  ASSERT_EQ(profiles.size(), 1u);
  EXPECT_EQ(profiles.front()["vpn"]["ipsec-enabled"], "no");
}

TEST_F(NmBackend, WritingTheEntryAgainReplacesItsProfileAndKeepsTheCredentials) {
  ASSERT_EQ(WriteEntry("10.0.0.1", "0"), vpn::kRasSuccess);
  const std::string uuid = Profiles().at(0)["connection"]["uuid"];

  ASSERT_EQ(backend->SetEntryProperties(vpn::MakeDialEntry("XOL", "10.0.0.2", "1")),
            vpn::kRasSuccess);
  std::vector<Keyfile> profiles = Profiles();
  ASSERT_EQ(profiles.size(), 1u);
  EXPECT_EQ(profiles[0]["connection"]["uuid"], uuid);
  EXPECT_EQ(profiles[0]["vpn"]["service-type"], "org.freedesktop.NetworkManager.pptp");
  EXPECT_EQ(profiles[0]["vpn"]["gateway"], "10.0.0.2");
  EXPECT_EQ(profiles[0]["vpn"].count("ipsec-enabled"), 0u);
  EXPECT_EQ(profiles[0]["vpn"]["user"], "demo");
  EXPECT_EQ(profiles[0]["vpn-secrets"]["password"], "demo123");

  ASSERT_EQ(WriteEntry("10.0.0.2", "1", "changed"), vpn::kRasSuccess);
  EXPECT_EQ(Profiles().at(0)["vpn-secrets"]["password"], "changed");
}

TEST_F(NmBackend, LeavesAProfileOfTheSameNameThatTheUserMadeAlone) {
  ASSERT_EQ(sandbox_->Nmcli({"connection", "add", "type", "vpn", "con-name", "XOL", "vpn-type",
                             "pptp", "vpn.data", "gateway=192.0.2.7,user=someone"}),
            0);
  EXPECT_EQ(backend->DeleteEntry("XOL"), 623u);
  ASSERT_EQ(WriteEntry("10.0.0.1", "0"), vpn::kRasSuccess);
  EXPECT_EQ(Profiles().size(), 2u);
  EXPECT_EQ(backend->DeleteEntry("XOL"), vpn::kRasSuccess);

  std::vector<Keyfile> left = Profiles();
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0]["vpn"]["gateway"], "192.0.2.7");
  sandbox_->Nmcli({"connection", "delete", "XOL"});
}

TEST_F(NmBackend, RefusesServerAddressesAndCredentialsThatWouldReachPppd) {
  EXPECT_EQ(backend->SetEntryProperties(vpn::MakeDialEntry("XOL", "10.0.0.1\nplugin x", "1")), 87u);
  EXPECT_TRUE(Profiles().empty());
  ASSERT_EQ(WriteEntry("10.0.0.1", "1"), vpn::kRasSuccess);
  vpn::RasDialParams params;
  params.entryName = "XOL";
  params.userName = "demo\nplugin /tmp/x.so";
  params.password = "demo123";
  EXPECT_EQ(backend->SetEntryDialParams(params), 87u);
  EXPECT_EQ(Profiles().at(0)["vpn"]["user"], "demo");
}

// A dial that NetworkManager starts and that then fails, as the dial thread sees it: the error
// in the status line, the Connect button back to "连 接", the entry gone, the status query 6.
TEST_F(NmBackend, AFailedDialReachesTheCallbackAsAnError) {
  struct Case {
    std::string protocol;
    std::string note;
  };
  // PPTP finds no server listening and fails at once; L2TP without IPsec waits for PPP, which
  // this kernel lacks, and gives up after some seconds.
  const std::vector<Case> cases = {{"1", "PPTP"}, {"0", "L2TP"}};
  ProhibitIpSec(true);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.note);
    DialerHarness dialer(backend);
    std::future<int> result = dialer.Dial("10.99.0.1", c.protocol);
    ASSERT_EQ(result.wait_for(90s), std::future_status::ready) << sandbox_->LogTail();
    EXPECT_EQ(result.get(), 1);

    std::vector<std::string> statuses = dialer.view.Statuses();
    ASSERT_FALSE(statuses.empty());
    EXPECT_EQ(statuses.front(), "Dialing... 10.99.0.1\n");
    EXPECT_EQ(std::count(statuses.begin(), statuses.end(), "打开端口...\n"), 1);
    const std::string error = "ERROR:800 - " + Utf8(vpn::RasErrorText(800)) + "\n";
    EXPECT_EQ(statuses.back(), error) << sandbox_->LogTail();
    EXPECT_EQ(dialer.view.Captions().back(), "连 接");
    EXPECT_TRUE(Profiles().empty());
    ASSERT_EQ(dialer.Backend().Handles().size(), 1u);
    EXPECT_EQ(backend->GetConnectStatus(dialer.Backend().Handles()[0]), vpn::ERROR_INVALID_HANDLE);
  }
}

// L2TP over IPsec: the entry has no key for the IPsec layer, which fails as error 789, the one
// the 789 repair (L2TP without IPsec) answers.
TEST_F(NmBackend, AnL2tpDialOverIpsecFailsInItsSecurityLayer) {
  ProhibitIpSec(false);
  DialerHarness dialer(backend);
  std::future<int> result = dialer.Dial("10.99.0.1", "0");
  ASSERT_EQ(result.wait_for(90s), std::future_status::ready) << sandbox_->LogTail();
  EXPECT_EQ(result.get(), 1);
  EXPECT_EQ(dialer.view.LastStatus(), "ERROR:789 - " + Utf8(vpn::RasErrorText(789)) + "\n")
      << sandbox_->LogTail();
  EXPECT_EQ(dialer.view.Captions().back(), "连 接");
  EXPECT_TRUE(Profiles().empty());
}

TEST_F(NmBackend, ADialWithoutANetworkIsRefusedWithItsReason) {
  ASSERT_EQ(sandbox_->Nmcli({"--wait", "20", "connection", "down", "base"}), 0);
  DialerHarness dialer(backend);
  std::future<int> result = dialer.Dial("10.99.0.1", "1");
  EXPECT_EQ(result.get(), 1);
  EXPECT_EQ(dialer.view.LastStatus(),
            "ERROR:800 - 无法建立 VPN 连接：NetworkManager 没有可用的网络连接。\n");
  EXPECT_EQ(dialer.view.Captions().back(), "连 接");
  EXPECT_TRUE(Profiles().empty());
  ASSERT_EQ(sandbox_->Nmcli({"--wait", "30", "connection", "up", "base"}), 0);
}

TEST_F(NmBackend, AMissingPluginIsNamedBeforeTheDial) {
  const std::string noPlugins = sandbox_->Dir() + "/no-plugins";
  std::filesystem::create_directories(noPlugins);
  backend = MakeBackend(noPlugins);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"0", "NetworkManager 缺少 L2TP 插件，无法拨号：请安装软件包 network-manager-l2tp。"},
      {"1", "NetworkManager 缺少 PPTP 插件，无法拨号：请安装软件包 network-manager-pptp。"},
  };
  for (const auto& [protocol, text] : cases) {
    SCOPED_TRACE(protocol);
    DialerHarness dialer(backend);
    EXPECT_EQ(dialer.Dial("10.99.0.1", protocol).get(), 1);
    std::vector<std::string> statuses = dialer.view.Statuses();
    EXPECT_NE(std::find(statuses.begin(), statuses.end(), "XOL拨号失败!(ERROR：711)\n"),
              statuses.end());
    EXPECT_EQ(dialer.view.LastStatus(), "ERROR:711 - " + text + "\n");
    EXPECT_EQ(dialer.view.Captions().back(), "连 接");
    EXPECT_TRUE(Profiles().empty());
  }
}

TEST_F(NmBackend, TheStopEventHangsUpADialUnderWay) {
  ProhibitIpSec(true);
  DialerHarness dialer(backend);
  std::future<int> result = dialer.Dial("10.99.0.1", "0");
  // L2TP stays in NetworkManager's "connect" state while it waits for PPP.
  ASSERT_TRUE(dialer.view.WaitForStatus("连接设备...\n", 20s)) << sandbox_->LogTail();
  dialer.stop->Set();
  ASSERT_EQ(result.wait_for(30s), std::future_status::ready);
  EXPECT_EQ(result.get(), 1);
  std::vector<std::string> statuses = dialer.view.Statuses();
  ASSERT_GE(statuses.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(statuses.end() - 3, statuses.end()),
            (std::vector<std::string>{"Connection to 10.99.0.1 terminated.\n",
                                      "Delete EntryName XOL OK.\n", "已断开"}));
  for (const std::string& s : statuses) EXPECT_EQ(s.find("ERROR"), std::string::npos) << s;
  EXPECT_TRUE(Profiles().empty());
  std::string active;
  sandbox_->Nmcli({"-t", "-f", "NAME", "connection", "show", "--active"}, &active);
  EXPECT_EQ(active.find("XOL"), std::string::npos) << active;
}

TEST_F(NmBackend, TellsAWatcherAsSoonAsTheConnectionHasGone) {
  // PPTP finds no server and NetworkManager gives the activation up: the watcher hears it, once,
  // without asking; a watcher that comes later hears it at once.
  ProhibitIpSec(true);
  ASSERT_EQ(backend->SetEntryProperties(vpn::MakeDialEntry("XOL", "10.99.0.1", "1")), 0u);
  vpn::RasDialParams params;
  params.entryName = "XOL";
  params.phoneNumber = "10.99.0.1";
  params.userName = "demo";
  params.password = "demo123";
  vpn::ConnectionHandle handle = 0;
  ASSERT_EQ(backend->Dial(
                params, [](unsigned, int, unsigned) {}, &handle),
            0u);
  auto told = std::make_shared<vpn::Event>();
  std::atomic<int> times{0};
  backend->NotifyWhenGone(handle, [&] {
    ++times;
    told->Set();
  });
  ASSERT_TRUE(told->Wait(60s)) << sandbox_->LogTail();
  EXPECT_EQ(backend->GetConnectStatus(handle), vpn::ERROR_INVALID_HANDLE);
  bool toldLate = false;
  backend->NotifyWhenGone(handle, [&] { toldLate = true; });
  EXPECT_TRUE(toldLate);
  EXPECT_EQ(times, 1);
  backend->HangUp(handle);
  backend->DeleteEntry("XOL");
}

TEST_F(NmBackend, NetworkManagerAnswersOnItsBus) {
  EXPECT_TRUE(vpn::NetworkManagerAnswers(sandbox_->BusAddress()));
  // The system bus is the one the environment names, as for every D-Bus program.
  const char* before = getenv("DBUS_SYSTEM_BUS_ADDRESS");
  const std::string saved = before ? before : "";
  setenv("DBUS_SYSTEM_BUS_ADDRESS", sandbox_->BusAddress().c_str(), 1);
  EXPECT_TRUE(vpn::NetworkManagerAnswers());
  if (before) {
    setenv("DBUS_SYSTEM_BUS_ADDRESS", saved.c_str(), 1);
  } else {
    unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
  }
}

// No NetworkManager at all: the dial explains what to install, and nothing hangs.
TEST(NmBackendWithoutNetworkManager, NamesWhatToInstall) {
  vpn::NmRasBackend::Options options;
  options.busAddress = "unix:path=/nonexistent/tunvik-test-bus";
  auto backend = std::make_shared<vpn::NmRasBackend>(options);
  EXPECT_FALSE(vpn::NetworkManagerAnswers(options.busAddress));
  EXPECT_EQ(backend->SetEntryProperties(vpn::MakeDialEntry("XOL", "10.0.0.1", "0")),
            vpn::ERROR_NO_VPN_BACKEND);

  DialerHarness dialer(backend);
  EXPECT_EQ(dialer.Dial("10.0.0.1", "0").get(), 1);
  EXPECT_EQ(dialer.view.LastStatus(),
            "ERROR:711 - NetworkManager 没有在系统总线上应答，无法拨号：请安装并启动 "
            "NetworkManager（软件包 network-manager）。\n");
  EXPECT_EQ(dialer.view.Captions().back(), "连 接");
  EXPECT_EQ(backend->DeleteEntry("XOL"), vpn::ERROR_NO_VPN_BACKEND);
}

}  // namespace
