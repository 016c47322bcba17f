// CHttpClient against real servers on loopback: answers, request shape, errors, time-outs, the
// line bound, redirects, proxies and certificate checks.
#include "api/http_client.h"

#include <gtest/gtest.h>
#include <sys/socket.h>

#include <chrono>
#include <thread>

#include "loopback.h"
#include "settings/deployment.h"
#include "test_support.h"
#include "test_tls.h"
#include "text/gbk.h"

namespace api_test {
namespace {

using api::CHttpClient;
using namespace std::chrono_literals;

std::string ErrorText(int number) {
  return "CInternetException error, error code = " + std::to_string(number) + "!";
}

struct Reply {
  int status;
  std::string body;
};

// A server that answers every GET and POST of a path with the reply the test gives it.
std::unique_ptr<HttpServerThread> ReplyServer(const std::map<std::string, Reply>& replies) {
  auto server = std::make_unique<httplib::Server>();
  for (const auto& [path, reply] : replies) {
    auto handler = [reply](const httplib::Request&, httplib::Response& response) {
      response.status = reply.status;
      response.set_content(reply.body, "text/plain");
    };
    server->Get(path, handler);
    server->Post(path, handler);
  }
  return std::make_unique<HttpServerThread>(std::move(server));
}

class HttpClientTest : public ::testing::Test {
 protected:
  ScopedClientOptions options_{TestOptions()};
};

struct BodyCase {
  const char* name;
  int status;
  std::string body;
  int expectedResult;
  std::string expectedAnswer;  // GBK
};

TEST_F(HttpClientTest, DeliversTheFirstLineOfTheBodyInGbk) {
  const BodyCase cases[] = {
      {"two lines", 200, "{\n}\n", CHttpClient::REQ_SUCCESS, "{"},
      {"crlf endings", 200, "{\"code\":\"200\"}\r\nsecond\r\n", CHttpClient::REQ_SUCCESS,
       "{\"code\":\"200\"}"},
      {"carriage returns inside", 200, "a\rb\r\n", CHttpClient::REQ_SUCCESS, "ab"},
      {"empty body", 200, "", CHttpClient::REQ_SUCCESS, ""},
      {"no line feed", 200, "{\"a\":\"b\"}", CHttpClient::REQ_SUCCESS, "{\"a\":\"b\"}"},
      {"404 page", 404, "<html>\n<body>Not Found</body>\n</html>\n", CHttpClient::REQ_FAILURE,
       "<html>"},
      {"500 with json", 500, "{\"code\":\"200\"}\n", CHttpClient::REQ_FAILURE,
       "{\"code\":\"200\"}"},
      {"chinese", 200, "{\"msg\":\"欢迎使用€\"}\n", CHttpClient::REQ_SUCCESS,
       text::Utf8ToGbk("{\"msg\":\"欢迎使用€\"}")},
      {"character gbk lacks", 200, "a😀b\n", CHttpClient::REQ_SUCCESS, "a?b"},
  };
  std::map<std::string, Reply> replies;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    replies["/" + std::to_string(i)] = {cases[i].status, cases[i].body};
  }
  auto server = ReplyServer(replies);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(cases[i].name);
    for (const char* verb : {"GET", "POST"}) {
      CHttpClient client;
      std::string answer = "old";
      const std::string body = "{}";
      EXPECT_EQ(client.Execute(verb, server->Origin() + "/" + std::to_string(i),
                               std::string(verb) == "POST" ? &body : nullptr, answer),
                cases[i].expectedResult);
      EXPECT_EQ(answer, cases[i].expectedAnswer);
    }
  }
  EXPECT_EQ(text::Utf8ToGbk("欢迎使用€"), "\xbb\xb6\xd3\xad\xca\xb9\xd3\xc3\x80");
}

// The raw request the client sent, as the server received it.
TEST_F(HttpClientTest, SendsHttp10WithItsHeadersInOrderAndTheBodyUnchanged) {
  std::mutex mutex;
  std::vector<std::string> requests;
  RawServer server([&](RawServer& self, int fd) {
    std::string request = RawServer::ReadRequest(fd);
    {
      std::lock_guard lock(mutex);
      requests.push_back(request);
    }
    self.Send(fd, "HTTP/1.0 200 OK\r\nContent-Type: application/json\r\n\r\n{}\n");
  });
  const std::string body = "{\n   \"name\" : \"" + text::Utf8ToGbk("张三") + "\\\"\"\n}\n";
  const std::string origin = "http://127.0.0.1:" + std::to_string(server.port());
  std::string answer;
  EXPECT_EQ(CHttpClient().Execute("POST", origin + "/api/contactServer", &body, answer), 0);
  EXPECT_EQ(CHttpClient().Execute("GET", origin + "/api/getNotice", nullptr, answer), 0);
  EXPECT_EQ(answer, "{}");

  std::lock_guard lock(mutex);
  ASSERT_EQ(requests.size(), 2u);
  const std::string headers =
      "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727)\r\n"
      "Accept: */*,application/json\r\n"
      "Accept-Charset:UTF8\r\n"
      "Accept-Language: zh-cn;q=0.8,en;q=0.6,ja;q=0.4\r\n"
      "Content-Type:application/json\r\n";
  const std::string& post = requests[0];
  EXPECT_TRUE(post.starts_with("POST /api/contactServer HTTP/1.0\r\n")) << post;
  EXPECT_NE(post.find(headers), std::string::npos) << post;
  EXPECT_NE(post.find("Content-Length: " + std::to_string(body.size()) + "\r\n"),
            std::string::npos);
  EXPECT_TRUE(post.ends_with("\r\n\r\n" + body)) << post;
  EXPECT_EQ(post.find("Expect:"), std::string::npos);

  const std::string& get = requests[1];
  EXPECT_TRUE(get.starts_with("GET /api/getNotice HTTP/1.0\r\n")) << get;
  EXPECT_NE(get.find(headers), std::string::npos) << get;
  EXPECT_TRUE(get.ends_with("\r\n\r\n"));
}

TEST_F(HttpClientTest, RefusesOtherSchemesWithoutConnecting) {
  RawServer server([](RawServer&, int) {});
  const std::string hostPort = "127.0.0.1:" + std::to_string(server.port());
  const std::string urls[] = {"ftp://" + hostPort + "/api/x", "file:///etc/hostname",
                              hostPort + "/api/x", "gopher://" + hostPort + "/", ""};
  for (const std::string& url : urls) {
    SCOPED_TRACE(url);
    std::string answer = "untouched";
    EXPECT_EQ(CHttpClient().Execute("POST", url, nullptr, answer), CHttpClient::REQ_FAILURE);
    EXPECT_EQ(answer, "untouched");
  }
  EXPECT_EQ(server.connections(), 0);

  // The scheme is matched without regard to case.
  auto replies = ReplyServer({{"/x", {200, "ok\n"}}});
  std::string answer;
  EXPECT_EQ(
      CHttpClient().Execute("GET", "HTTP://127.0.0.1:" + std::to_string(replies->port()) + "/x",
                            nullptr, answer),
      CHttpClient::REQ_SUCCESS);
  EXPECT_EQ(answer, "ok");
}

TEST_F(HttpClientTest, TurnsConnectionFailuresIntoTheirErrorNumbers) {
  RawServer closesAtOnce([](RawServer&, int fd) { RawServer::ReadRequest(fd); });
  RawServer cutsTheBody([](RawServer& self, int fd) {
    RawServer::ReadRequest(fd);
    self.Send(fd, "HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nabcdefghij");
  });
  RawServer resets([](RawServer&, int fd) {
    RawServer::ReadRequest(fd);
    linger hard{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &hard, sizeof hard);
  });
  RawServer answersNoHttp([](RawServer& self, int fd) {
    RawServer::ReadRequest(fd);
    self.Send(fd, "SSH-2.0-OpenSSH\r\n");
  });
  struct Case {
    const char* name;
    int port;
    int number;
  } cases[] = {
      {"nothing listens", ClosedPort(), 12029},
      {"closed without an answer", closesAtOnce.port(), 12152},
      {"body cut short", cutsTheBody.port(), 12030},
      {"connection reset", resets.port(), 12031},
      {"no http answer", answersNoHttp.port(), 12152},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::string answer;
    const std::string body = "{}";
    EXPECT_EQ(CHttpClient().Execute("POST", "http://127.0.0.1:" + std::to_string(c.port) + "/api/x",
                                    &body, answer),
              CHttpClient::REQ_FAILURE);
    EXPECT_EQ(answer, ErrorText(c.number));
  }
}

TEST_F(HttpClientTest, ASilentServerIsATimeOut) {
  api::HttpClientOptions options = TestOptions();
  options.idleTimeout = 300ms;
  ScopedClientOptions shortIdle(options);
  RawServer silentAfterAccept([](RawServer& self, int fd) { self.WaitForClose(fd); });
  RawServer silentAfterHeaders([](RawServer& self, int fd) {
    RawServer::ReadRequest(fd);
    self.Send(fd, "HTTP/1.0 200 OK\r\n\r\n{\"code\"");
    self.WaitForClose(fd);
  });
  for (const RawServer* server : {&silentAfterAccept, &silentAfterHeaders}) {
    std::string answer;
    EXPECT_EQ(
        CHttpClient().Execute("GET", "http://127.0.0.1:" + std::to_string(server->port()) + "/",
                              nullptr, answer),
        CHttpClient::REQ_TIMEOUT);
    EXPECT_EQ(answer, ErrorText(12002));
  }
}

// A server that keeps every byte coming, one at a time, never lets the idle watch fire: the
// request's deadline ends it, whether the bytes trickle in the headers or in the answer line.
TEST_F(HttpClientTest, ATricklingServerEndsAtTheDeadline) {
  api::HttpClientOptions options = TestOptions();
  options.idleTimeout = 2s;
  options.deadline = 1s;
  ScopedClientOptions shortDeadline(options);
  auto trickle = [](std::string start) {
    return [start](RawServer& self, int fd) {
      RawServer::ReadRequest(fd);
      if (!self.Send(fd, start)) return;
      while (!self.stopping() && self.Send(fd, "a")) std::this_thread::sleep_for(50ms);
    };
  };
  RawServer inTheHeaders(trickle("HTTP/1.0 200 OK\r\nX-Slow: "));
  RawServer inTheLine(trickle("HTTP/1.0 200 OK\r\n\r\n{\"code\":\"200\",\"msg\":\""));
  for (const RawServer* server : {&inTheHeaders, &inTheLine}) {
    std::string answer;
    const auto start = std::chrono::steady_clock::now();
    const std::string body = "{}";
    EXPECT_EQ(
        CHttpClient().Execute("POST", "http://127.0.0.1:" + std::to_string(server->port()) + "/",
                              &body, answer),
        CHttpClient::REQ_TIMEOUT);
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(answer, ErrorText(12002));
    EXPECT_GE(elapsed, 900ms);
    EXPECT_LT(elapsed, 20s);  // generous: the deadline is 1 s, the idle watch never fires
  }
}

TEST_F(HttpClientTest, AnEndlessLineStopsAtTheBound) {
  const std::size_t bound = CHttpClient::kMaxLineBytes;
  // Endless 'a's; the second server puts a three-byte character across the bound.
  auto endless = [](std::string prefix) {
    return [prefix](RawServer& self, int fd) {
      RawServer::ReadRequest(fd);
      if (!self.Send(fd, "HTTP/1.0 200 OK\r\n\r\n" + prefix)) return;
      const std::string chunk(64 * 1024, 'a');
      while (!self.stopping() && self.Send(fd, chunk)) {
      }
    };
  };
  RawServer plain(endless(""));
  RawServer straddling(endless(std::string(bound - 1, 'b') + "中"));

  std::string answer;
  EXPECT_EQ(CHttpClient().Execute("GET", "http://127.0.0.1:" + std::to_string(plain.port()) + "/",
                                  nullptr, answer),
            CHttpClient::REQ_SUCCESS);
  EXPECT_EQ(answer.size(), bound);
  EXPECT_EQ(answer.find_first_not_of('a'), std::string::npos);

  EXPECT_EQ(
      CHttpClient().Execute("GET", "http://127.0.0.1:" + std::to_string(straddling.port()) + "/",
                            nullptr, answer),
      CHttpClient::REQ_SUCCESS);
  EXPECT_EQ(answer, std::string(bound - 1, 'b'));
}

TEST_F(HttpClientTest, FollowsRedirectsWithinHttp) {
  auto server = std::make_unique<httplib::Server>();
  server->Get("/moved", [](const httplib::Request&, httplib::Response& response) {
    response.set_redirect("/target", 302);
  });
  server->Get("/to-ftp", [](const httplib::Request&, httplib::Response& response) {
    response.set_redirect("ftp://127.0.0.1/file", 302);
  });
  server->Get("/loop", [](const httplib::Request&, httplib::Response& response) {
    response.set_redirect("/loop", 302);
  });
  server->Get("/target", [](const httplib::Request&, httplib::Response& response) {
    response.set_content("{\"code\":\"200\"}\n", "application/json");
  });
  HttpServerThread running(std::move(server));

  std::string answer;
  EXPECT_EQ(CHttpClient().Execute("GET", running.Origin() + "/moved", nullptr, answer), 0);
  EXPECT_EQ(answer, "{\"code\":\"200\"}");
  EXPECT_EQ(CHttpClient().Execute("GET", running.Origin() + "/to-ftp", nullptr, answer), 1);
  EXPECT_EQ(answer, ErrorText(12006));
  EXPECT_EQ(CHttpClient().Execute("GET", running.Origin() + "/loop", nullptr, answer), 1);
  EXPECT_EQ(answer, ErrorText(12156));
}

TEST_F(HttpClientTest, GoesThroughTheProxyOfTheEnvironment) {
  std::mutex mutex;
  std::string seen;
  RawServer proxy([&](RawServer& self, int fd) {
    std::string request = RawServer::ReadRequest(fd);
    {
      std::lock_guard lock(mutex);
      seen = request;
    }
    self.Send(fd, "HTTP/1.0 200 OK\r\n\r\nvia proxy\n");
  });
  ScopedEnv httpProxy("http_proxy", "http://127.0.0.1:" + std::to_string(proxy.port()));
  std::string answer;
  EXPECT_EQ(
      CHttpClient().Execute("GET", "http://api.tunvik.invalid:9000/api/getNotice", nullptr, answer),
      0);
  EXPECT_EQ(answer, "via proxy");
  std::lock_guard lock(mutex);
  EXPECT_TRUE(seen.starts_with("GET http://api.tunvik.invalid:9000/api/getNotice HTTP/1.0\r\n"))
      << seen;
}

TEST_F(HttpClientTest, ClientsOnSeveralThreadsRunAtOnce) {
  auto server = ReplyServer({{"/n", {200, "{\"n\":\"1\"}\n"}}});
  std::atomic<int> good{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 10; ++i) {
        std::string answer;
        if (CHttpClient().Execute("GET", server->Origin() + "/n", nullptr, answer) == 0 &&
            answer == "{\"n\":\"1\"}") {
          ++good;
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(good.load(), 40);
}

// Certificates: the system's authorities (here a test authority in their place), or with a pin
// exactly the pinned key.
class HttpClientTlsTest : public ::testing::Test {
 protected:
  static std::unique_ptr<HttpServerThread> TlsServer(const TlsFiles& files,
                                                     std::atomic<int>* requests = nullptr) {
    auto server =
        std::make_unique<httplib::SSLServer>(files.certificatePath.c_str(), files.keyPath.c_str());
    if (!server->is_valid()) std::abort();
    server->Get("/api/getNotice", [requests](const httplib::Request&, httplib::Response& response) {
      if (requests != nullptr) ++*requests;
      response.set_content("{\"msg\":\"tls\"}\n", "application/json");
    });
    return std::make_unique<HttpServerThread>(std::move(server));
  }

  int Get(const HttpServerThread& server, const api::HttpClientOptions& options,
          std::string& answer) {
    ScopedClientOptions scoped(options);
    return CHttpClient().Execute("GET", server.Origin(true) + "/api/getNotice", nullptr, answer);
  }

  TempFolder folder_;
};

TEST_F(HttpClientTlsTest, APinnedKeyIsAcceptedWhateverHostAndDates) {
  TlsFiles otherHost = MakeSelfSigned(folder_.path(), "other", "vpn.other.example");
  TlsFiles expired = MakeSelfSigned(folder_.path(), "expired", "127.0.0.1", {-30, -1});
  for (const TlsFiles* files : {&otherHost, &expired}) {
    auto server = TlsServer(*files);
    std::string answer;
    EXPECT_EQ(Get(*server, TestOptions(files->pin), answer), CHttpClient::REQ_SUCCESS);
    EXPECT_EQ(answer, "{\"msg\":\"tls\"}");
    // Without the pin the same certificate is refused: no authority vouches for it.
    EXPECT_EQ(Get(*server, TestOptions(), answer), CHttpClient::REQ_FAILURE);
    EXPECT_EQ(answer, ErrorText(12169));
  }
}

TEST_F(HttpClientTlsTest, AnotherKeyUnderThePinIsRefusedBeforeTheRequest) {
  TlsFiles pinned = MakeSelfSigned(folder_.path(), "pinned", "127.0.0.1");
  TlsFiles stranger = MakeSelfSigned(folder_.path(), "stranger", "127.0.0.1");
  std::atomic<int> requests{0};
  auto server = TlsServer(stranger, &requests);
  std::string answer;
  EXPECT_EQ(Get(*server, TestOptions(pinned.pin), answer), CHttpClient::REQ_FAILURE);
  EXPECT_EQ(answer, ErrorText(12169));
  // One of several pins may match.
  EXPECT_EQ(Get(*server, TestOptions(pinned.pin + ";" + stranger.pin), answer), 0);
  EXPECT_EQ(requests.load(), 1);
}

TEST_F(HttpClientTlsTest, WithoutAPinTheAuthorityAndTheHostNameDecide) {
  TestAuthority authority(folder_.path(), "test");
  TlsFiles good = authority.Issue(folder_.path(), "good", "127.0.0.1");
  TlsFiles wrongHost = authority.Issue(folder_.path(), "wronghost", "vpn.other.example");
  api::HttpClientOptions trusting = TestOptions();
  trusting.caBundle = authority.certificatePath();

  auto goodServer = TlsServer(good);
  std::string answer;
  EXPECT_EQ(Get(*goodServer, trusting, answer), CHttpClient::REQ_SUCCESS);
  EXPECT_EQ(answer, "{\"msg\":\"tls\"}");
  EXPECT_EQ(Get(*goodServer, TestOptions(), answer), CHttpClient::REQ_FAILURE);

  auto wrongHostServer = TlsServer(wrongHost);
  EXPECT_EQ(Get(*wrongHostServer, trusting, answer), CHttpClient::REQ_FAILURE);
  EXPECT_EQ(answer, ErrorText(12169));
}

TEST_F(HttpClientTlsTest, ATlsHandshakeWithAPlainServerFails) {
  auto plain = ReplyServer({{"/api/getNotice", {200, "plain\n"}}});
  std::string answer;
  EXPECT_EQ(
      Get(*plain, TestOptions("sha256//AAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAAA="), answer),
      CHttpClient::REQ_FAILURE);
  EXPECT_EQ(answer, ErrorText(12157));
}

TEST_F(HttpClientTlsTest, TakesThePinOfTheDeploymentUnlessOneIsGiven) {
  TlsFiles files = MakeSelfSigned(folder_.path(), "deployed", "vpn.other.example");
  auto server = TlsServer(files);
  api::HttpClientOptions fromDeployment = TestOptions();
  fromDeployment.pin.reset();
  std::string answer;
  {
    ScopedEnv pin("TUNVIK_API_PIN", files.pin);
    settings::ReloadDeployment();
    EXPECT_EQ(Get(*server, fromDeployment, answer), CHttpClient::REQ_SUCCESS);
    // A pin given to the client wins over the deployment's.
    EXPECT_EQ(Get(*server, TestOptions(), answer), CHttpClient::REQ_FAILURE);
  }
  settings::ReloadDeployment();
  EXPECT_EQ(Get(*server, fromDeployment, answer), CHttpClient::REQ_FAILURE);
}

}  // namespace
}  // namespace api_test
