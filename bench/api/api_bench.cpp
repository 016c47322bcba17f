// One API call through CHttpClient against a bare libcurl request to the same loopback server,
// over HTTP and over HTTPS with a pinned key. Prints the time per call and the ratio.
#include <curl/curl.h>
#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "api/http_client.h"
#include "api/service_api.h"
#include "api/test_tls.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kNotice[] = "{\"msg\":\"欢迎使用演示服务！\",\"version\":\"10.6\"}\n";
constexpr int kRounds = 20;
constexpr int kCallsPerRound = 50;

size_t Collect(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

// The plainest request libcurl makes: one handle, the URL, the answer into a string.
bool BareRequest(const std::string& url, const std::string& pin) {
  CURL* handle = curl_easy_init();
  if (handle == nullptr) return false;
  std::string body;
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body);
  if (!pin.empty()) {
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(handle, CURLOPT_PINNEDPUBLICKEY, pin.c_str());
  }
  bool ok = curl_easy_perform(handle) == CURLE_OK && !body.empty();
  curl_easy_cleanup(handle);
  return ok;
}

bool ClientCall(api::ApiMembers& members) {
  return api::GetNotice(members).version == "10.6";
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  return values[values.size() / 2];
}

double Mean(const std::vector<double>& values) {
  double sum = 0;
  for (double v : values) sum += v;
  return sum / static_cast<double>(values.size());
}

// Times `call` once, in microseconds; aborts the run when the call fails.
double Time(const std::function<bool()>& call) {
  auto start = Clock::now();
  if (!call()) {
    std::fprintf(stderr, "a request failed\n");
    std::exit(1);
  }
  return std::chrono::duration<double, std::micro>(Clock::now() - start).count();
}

void Compare(const char* label, const std::string& origin, const std::string& pin) {
  api::HttpClientOptions options;
  options.pin = pin;
  api::CHttpClient::SetDefaultOptions(options);
  api::ApiMembers members(origin + "/api/");
  const std::string url = origin + "/api/getNotice";
  for (int i = 0; i < 20; ++i) {  // warm-up
    Time([&] { return ClientCall(members); });
    Time([&] { return BareRequest(url, pin); });
  }
  std::vector<double> client;
  std::vector<double> bare;
  for (int round = 0; round < kRounds; ++round) {
    // Alternate the order so that neither side always runs on a warmer machine.
    for (int pass = 0; pass < 2; ++pass) {
      bool clientFirst = (round % 2 == 0) == (pass == 0);
      for (int i = 0; i < kCallsPerRound; ++i) {
        if (clientFirst) {
          client.push_back(Time([&] { return ClientCall(members); }));
        } else {
          bare.push_back(Time([&] { return BareRequest(url, pin); }));
        }
      }
    }
  }
  std::printf("%-6s calls %zu each | CHttpClient median %8.1f us mean %8.1f us | bare libcurl "
              "median %8.1f us mean %8.1f us | ratio median %.3f mean %.3f (target <= 1.1)\n",
              label, client.size(), Median(client), Mean(client), Median(bare), Mean(bare),
              Median(client) / Median(bare), Mean(client) / Mean(bare));
}

template <typename ServerType>
struct Running {
  ServerType& server;
  int port;
  std::thread thread;
  Running(ServerType& s) : server(s), port(s.bind_to_any_port("127.0.0.1")) {
    thread = std::thread([this] { server.listen_after_bind(); });
    while (!server.is_running()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ~Running() {
    server.stop();
    thread.join();
  }
};

void Route(httplib::Server& server) {
  server.Get("/api/getNotice", [](const httplib::Request&, httplib::Response& response) {
    response.set_content(kNotice, "application/json; charset=utf-8");
  });
}

}  // namespace

int main() {
  for (const char* name : {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy",
                           "ALL_PROXY"}) {
    ::unsetenv(name);
  }
  curl_global_init(CURL_GLOBAL_DEFAULT);
  std::string dir = (std::filesystem::temp_directory_path() / "tunvik-bench-XXXXXX").string();
  if (::mkdtemp(dir.data()) == nullptr) return 1;
  api_test::TlsFiles tls = api_test::MakeSelfSigned(dir, "bench", "127.0.0.1");

  httplib::Server plain;
  Route(plain);
  httplib::SSLServer secure(tls.certificatePath.c_str(), tls.keyPath.c_str());
  Route(secure);
  {
    Running<httplib::Server> runningPlain(plain);
    Running<httplib::SSLServer> runningSecure(secure);
    Compare("http", "http://127.0.0.1:" + std::to_string(runningPlain.port), "");
    Compare("https", "https://127.0.0.1:" + std::to_string(runningSecure.port), tls.pin);
  }
  std::error_code ec;
  std::filesystem::remove_all(dir, ec);
  return 0;
}
