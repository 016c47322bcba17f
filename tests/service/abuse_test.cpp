// The stand-in service under abuse, run as its own process: idle and slow connections do not
// stall normal requests and are cut after the request time, and the request log keeps one line
// per request whatever a client sends.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <httplib.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "api/service_api.h"
#include "api/test_support.h"
#include "service_process.h"

namespace service_test {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// The port of an address such as "https://127.0.0.1:PORT/api/".
int PortOf(const std::string& url) {
  const std::size_t colon = url.rfind(':');
  return std::stoi(url.substr(colon + 1));
}

// A TCP connection to 127.0.0.1:port, closed on destruction; -1 when it could not be made.
class Connection {
 public:
  explicit Connection(int port) : fd_(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0)) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
      ::close(fd_);
      fd_ = -1;
    }
  }
  ~Connection() {
    if (fd_ >= 0) ::close(fd_);
  }
  Connection(const Connection&) = delete;
  Connection& operator=(const Connection&) = delete;

  bool ok() const { return fd_ >= 0; }

  bool Send(const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
      const ssize_t n = ::send(fd_, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
      if (n <= 0) return false;
      sent += static_cast<std::size_t>(n);
    }
    return true;
  }

  // True once the service closed its side: a read gives the end of the stream or an error.
  bool ClosedByPeer(std::chrono::milliseconds wait) {
    pollfd entry{fd_, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(wait.count())) <= 0) return false;
    char byte;
    return ::recv(fd_, &byte, 1, MSG_DONTWAIT) <= 0;
  }

  // Reads the head of an answer (at most `wait`): the service may keep the connection open.
  std::string ReadHead(std::chrono::milliseconds wait) {
    std::string head;
    const auto end = Clock::now() + wait;
    while (head.find("\r\n\r\n") == std::string::npos && Clock::now() < end) {
      pollfd entry{fd_, POLLIN, 0};
      if (::poll(&entry, 1, 100) <= 0) continue;
      char buffer[4096];
      const ssize_t n = ::recv(fd_, buffer, sizeof buffer, 0);
      if (n <= 0) break;
      head.append(buffer, static_cast<std::size_t>(n));
    }
    return head;
  }

 private:
  int fd_;
};

class ServiceAbuseTest : public ::testing::Test {
 protected:
  void Start(std::vector<std::string> args = {}) {
    service_.emplace(folder_.path() + "/data", std::move(args));
    ASSERT_TRUE(service_->ready());
    client_.emplace(api_test::TestOptions(service_->pin()));
  }

  // Times a notice request through the client.
  std::chrono::milliseconds TimeANormalRequest() {
    api::ApiMembers members(service_->apiBase());
    const auto start = Clock::now();
    const api::NoticeReply notice = api::GetNotice(members);
    const auto elapsed =
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    EXPECT_EQ(notice.answered, api::Answered::kPrimary);
    EXPECT_EQ(notice.version, "10.6");
    return elapsed;
  }

  api_test::TempFolder folder_;
  std::optional<ServiceProcess> service_;
  std::optional<api_test::ScopedClientOptions> client_;
};

TEST_F(ServiceAbuseTest, AnswersPromptlyWhileTwoHundredConnectionsIdle) {
  Start();
  const int apiPort = PortOf(service_->apiBase());
  std::vector<std::unique_ptr<Connection>> idle;
  for (int i = 0; i < 200; ++i) {
    idle.push_back(std::make_unique<Connection>(apiPort));
    ASSERT_TRUE(idle.back()->ok()) << i;
  }
  // Each idle connection holds a thread of the service now; a normal request gets its own.
  const auto elapsed = TimeANormalRequest();
  std::printf("a notice request took %lld ms with 200 idle connections open\n",
              static_cast<long long>(elapsed.count()));
  EXPECT_LT(elapsed, 5s);  // generous: it takes milliseconds; the library's default took minutes
}

TEST_F(ServiceAbuseTest, CutsConnectionsThatSendTheirRequestTooSlowly) {
  Start({"--request-time", "2"});
  const int webPort = PortOf(service_->registerUrl());
  const int apiPort = PortOf(service_->apiBase());
  // Twenty clients sending a request one byte every 200 ms, and a few that send nothing.
  std::vector<std::unique_ptr<Connection>> slow;
  for (int i = 0; i < 20; ++i) {
    slow.push_back(std::make_unique<Connection>(webPort));
    ASSERT_TRUE(slow.back()->ok());
  }
  std::vector<std::unique_ptr<Connection>> idle;
  for (int i = 0; i < 5; ++i) {
    idle.push_back(std::make_unique<Connection>(apiPort));
    ASSERT_TRUE(idle.back()->ok());
  }
  const auto start = Clock::now();
  const std::string request =
      "POST /register HTTP/1.1\r\nHost: x\r\nContent-Length: 1000\r\n\r\n" + std::string(1000, 'a');
  std::vector<bool> cut(slow.size(), false);
  std::size_t next = 0;
  while (next < request.size() && Clock::now() - start < 30s) {
    for (std::size_t i = 0; i < slow.size(); ++i) {
      if (!cut[i] && (!slow[i]->Send(request.substr(next, 1)) || slow[i]->ClosedByPeer(0ms))) {
        cut[i] = true;
      }
    }
    if (std::all_of(cut.begin(), cut.end(), [](bool c) { return c; })) break;
    if (next == 5) {
      // The registration page still answers at once.
      httplib::Client web("127.0.0.1", webPort);
      const auto before = Clock::now();
      auto page = web.Get("/");
      ASSERT_TRUE(page);
      EXPECT_EQ(page->status, 200);
      EXPECT_LT(Clock::now() - before, 5s);
    }
    ++next;
    std::this_thread::sleep_for(200ms);
  }
  const auto elapsed = Clock::now() - start;
  EXPECT_TRUE(std::all_of(cut.begin(), cut.end(), [](bool c) { return c; }));
  EXPECT_GE(elapsed, 1500ms);  // not before the request time of 2 s
  EXPECT_LT(elapsed, 20s);     // generous; a byte every 200 ms would go on for 200 s
  for (auto& connection : idle) EXPECT_TRUE(connection->ClosedByPeer(10s));
  EXPECT_LT(TimeANormalRequest(), 5s);
}

TEST_F(ServiceAbuseTest, LogsEachRequestOnOneEscapedLine) {
  Start();
  const int webPort = PortOf(service_->registerUrl());
  const std::string requests[] = {
      // A line feed in the decoded path that would forge a line of its own, then NUL and 0xFF.
      "GET /a%0A2024-01-01%20api%20127.0.0.1%20POST%20/api/recharge%20200"
      " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
      "GET /%00%ff%1b[31m HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
      // The same bytes raw in the request line.
      std::string("GET /raw") + '\0' + "\xff\x01 HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
      // A long path, and one beyond what the server reads.
      "GET /" + std::string(5000, 'p') + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
      "GET /" + std::string(100 * 1024, 'q') + " HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n",
      "\r\n\r\n",
  };
  for (const std::string& request : requests) {
    Connection connection(webPort);
    ASSERT_TRUE(connection.ok());
    connection.Send(request);
    EXPECT_TRUE(connection.ReadHead(10s).starts_with("HTTP/1.1 4"));
  }
  // Every line names the client, also where the request line could not be read.
  auto isWebLine = [](const std::string& line) {
    return line.find(" web 127.0.0.1 ") != std::string::npos;
  };
  service_->WaitForLines(isWebLine, std::size(requests), 10s);
  std::vector<std::string> lines;
  std::vector<std::string> all = service_->Lines();
  const auto ready = std::find(all.begin(), all.end(), "ready");
  ASSERT_NE(ready, all.end());
  lines.assign(ready + 1, all.end());
  std::string shown;
  for (const std::string& line : lines) shown += line + "\n";
  // One line per request, each beginning with its time and the server.
  ASSERT_EQ(lines.size(), std::size(requests)) << shown;
  for (const std::string& line : lines) {
    EXPECT_TRUE(isWebLine(line)) << line;
    EXPECT_LT(line.size(), 400u) << line;
    for (unsigned char c : line) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << shown;
  }
  auto count = [&lines](const std::string& part) {
    return std::count_if(lines.begin(), lines.end(), [&part](const std::string& line) {
      return line.find(part) != std::string::npos;
    });
  };
  EXPECT_EQ(count(" GET /a\\x0a2024-01-01\\x20api\\x20127.0.0.1\\x20POST"), 1) << shown;
  EXPECT_EQ(count(" GET /\\x00\\xff\\x1b[31m 404"), 1) << shown;
  EXPECT_EQ(count(" GET /" + std::string(255, 'p') + "... 404"), 1) << shown;
  EXPECT_EQ(count(" - - 400"), 2) << shown;  // the raw bytes, and no request line at all
  EXPECT_EQ(count(" - - 414"), 1) << shown;  // the path beyond what the server reads
}

}  // namespace
}  // namespace service_test
