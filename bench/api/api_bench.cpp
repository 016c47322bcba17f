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
constexpr int kWarmUp = 50;
constexpr int kCalls = 2000;

size_t Collect(char* data, size_t size, size_t count, void* user) {
  static_cast<std::string*>(user)->append(data, size * count);
  return size * count;
}

// The plainest request libcurl makes: one handle, the URL, the answer into a string; with
// `http10` in the protocol version the client must use.
bool BareRequest(const std::string& url, const std::string& pin, bool http10) {
  CURL* handle = curl_easy_init();
  if (handle == nullptr) return false;
  std::string body;
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, Collect);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &body);
  if (http10)
    curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_0));
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
  auto client = [&] { return ClientCall(members); };
  auto bare = [&] { return BareRequest(url, pin, false); };
  auto bare10 = [&] { return BareRequest(url, pin, true); };
  for (int i = 0; i < kWarmUp; ++i) {
    Time(client);
    Time(bare);
    Time(bare10);
  }
  // One call of each in turn, so that a busier moment of the machine hits all three alike.
  std::vector<double> clientTimes, bareTimes, bare10Times;
  for (int i = 0; i < kCalls; ++i) {
    clientTimes.push_back(Time(client));
    bareTimes.push_back(Time(bare));
    bare10Times.push_back(Time(bare10));
  }
  std::printf("%s, %d calls each (median / mean, microseconds):\n", label, kCalls);
  std::printf("  API call through CHttpClient   %9.1f / %9.1f\n", Median(clientTimes),
              Mean(clientTimes));
  std::printf(
      "  bare libcurl, its defaults     %9.1f / %9.1f   ratio %.3f / %.3f (target <= 1.1)\n",
      Median(bareTimes), Mean(bareTimes), Median(clientTimes) / Median(bareTimes),
      Mean(clientTimes) / Mean(bareTimes));
  std::printf("  bare libcurl, HTTP/1.0         %9.1f / %9.1f   ratio %.3f / %.3f\n",
              Median(bare10Times), Mean(bare10Times), Median(clientTimes) / Median(bare10Times),
              Mean(clientTimes) / Mean(bare10Times));
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
  for (const char* name :
       {"http_proxy", "https_proxy", "HTTP_PROXY", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"}) {
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
