// The fixture of the connection tests: the stand-in service on loopback (one per test suite),
// the simulated dialer in-process with short stages, a settings file with the demo account and
// server 1, and the main window opened with its timers stopped so that tests drive them.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

#include "api/http_client.h"
#include "app/main_window.h"
#include "app/resource.h"
#include "service/service_process.h"
#include "text/gbk.h"
#include "vpn/dialer.h"
#include "vpn/ras_sim.h"
#include "window_fixture.h"

namespace connection_test {

namespace t = ui::testing;
using namespace std::chrono_literals;

inline std::string U(const std::string& gbk) {
  return text::GbkToUtf8(gbk);
}
inline std::string G(std::string_view utf8) {
  return text::Utf8ToGbk(utf8);
}

// The simulated dialer, recording the Connect caption at the start of every dial.
class RecordingSim : public vpn::SimRasBackend {
 public:
  using vpn::SimRasBackend::SimRasBackend;
  CTunvikDlg* window = nullptr;
  std::vector<std::string> captionsAtDial;
  // false: behaves as a backend that cannot tell when a connection has gone.
  std::atomic<bool> tellsWhenGone{true};
  void NotifyWhenGone(vpn::ConnectionHandle handle, std::function<void()> gone) override {
    if (tellsWhenGone) vpn::SimRasBackend::NotifyWhenGone(handle, std::move(gone));
  }
  unsigned Dial(const vpn::RasDialParams& params, vpn::DialCallback callback,
                vpn::ConnectionHandle* handle) override {
    if (window != nullptr) captionsAtDial.push_back(U(window->GetDlgItemText(IDC_CONNECT)));
    return vpn::SimRasBackend::Dial(params, std::move(callback), handle);
  }
};

inline vpn::SimScenario Fast(vpn::SimScenario::Kind kind = vpn::SimScenario::Kind::kOk,
                             unsigned code = 0, int ms = 0) {
  vpn::SimScenario s;
  s.kind = kind;
  s.code = code;
  s.milliseconds = ms;
  s.stageMilliseconds = 20;
  return s;
}

class ConnectionTest : public apptest::WindowTest {
 protected:
  static void SetUpTestSuite() {
    char pattern[] = "/tmp/tunvik-service-XXXXXX";
    serviceDir_ = mkdtemp(pattern);
    service_ = new service_test::ServiceProcess(serviceDir_ + "/data");
  }
  static void TearDownTestSuite() {
    delete service_;
    service_ = nullptr;
    std::filesystem::remove_all(serviceDir_);
  }

  void SetUp() override {
    apptest::WindowTest::SetUp();
    ASSERT_TRUE(service_->ready()) << "the stand-in service did not start";
    api::HttpClientOptions options;
    options.pin = service_->pin();
    options.connectTimeout = 3s;
    options.idleTimeout = 5s;
    api::CHttpClient::SetDefaultOptions(options);
    backend = std::make_shared<RecordingSim>(Fast());
    vpn::SetBackendForTesting(backend);
    vpn::SetDialTimingsForTesting({3000ms, 50ms, 5ms, 3000ms});
    UseAccount("demo", "demo123");
  }

  void TearDown() override {
    // Dial threads write to the window; none may outlive it.
    t::WaitUntil([&] { return vpn::RunningDialThreads() == 0; }, 10000);
    backend->window = nullptr;
    vpn::SetBackendForTesting(nullptr);
    vpn::SetDialTimingsForTesting({});
    api::CHttpClient::SetDefaultOptions({});
    apptest::WindowTest::TearDown();
  }

  void UseAccount(const std::string& name, const std::string& password,
                  const std::string& extra = "") {
    WriteSettings("[AccountConfig]\nAccount=" + name + "\nPassword=" + password +
                  "\n[HostConfig]\nXOLNO=1\nHost=127.0.0.1\n" + extra);
  }

  // Opens the main window with the API at `apiBase` and runs `body` inside it, with its timers
  // (and page 1's) stopped.
  void RunWindow(const std::function<void(CTunvikDlg&)>& body, std::string apiBase = "") {
    if (apiBase.empty()) apiBase = service_->apiBase();
    CTunvikDlg window;
    window.api = api::ApiMembers(apiBase);
    window.page1.api = api::ApiMembers(apiBase);
    PrepareWindow(window);
    backend->window = &window;
    t::RunModal(window, [&] {
      for (int id : {kProcessListTimer, kNoticeTimer, kSupervisionTimer, kExpiryTimer}) {
        window.KillTimer(id);
      }
      window.page1.KillTimer(1);
      body(window);
      // Hang up whatever is still connected, while the window still pumps.
      window.SignalStopEvent();
      t::WaitUntil([&] { return vpn::RunningDialThreads() == 0; }, 10000);
    });
    backend->window = nullptr;
  }

  // Runs on each window of RunWindow before it opens.
  virtual void PrepareWindow(CTunvikDlg&) {}

  static std::string Caption(CTunvikDlg& w) { return U(w.GetDlgItemText(IDC_CONNECT)); }
  static std::string Status(CTunvikDlg& w) { return U(w.GetDlgItemText(IDC_STATUS)); }
  static bool WaitForCaption(CTunvikDlg& w, const std::string& caption) {
    return t::WaitUntil([&] { return Caption(w) == caption; }, 10000);
  }
  std::shared_ptr<RecordingSim> backend;
  static inline service_test::ServiceProcess* service_ = nullptr;
  static inline std::string serviceDir_;
};

}  // namespace connection_test
