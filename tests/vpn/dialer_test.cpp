// The dialer against the simulated backend: stages in the status line, the Connect caption,
// stop, drop, failures, the entry it writes and the request checks.
#include <gtest/gtest.h>

#include <future>
#include <stdexcept>

#include "recording_view.h"
#include "vpn/dialer.h"
#include "vpn/ras_sim.h"

namespace {

using namespace std::chrono_literals;
using vpntest::RecordingView;

class Dialer : public ::testing::Test {
 protected:
  void SetUp() override {
    backend = std::make_shared<vpn::SimRasBackend>(Scenario(vpn::SimScenario::Kind::kOk));
    vpn::SetBackendForTesting(backend);
    vpn::SetDialerView(&view);
    vpn::SetDialTimingsForTesting({2000ms, 50ms, 5ms, 2000ms});
  }
  void TearDown() override {
    vpn::SetDialerView(nullptr);
    vpn::SetBackendForTesting(nullptr);
    vpn::SetDialTimingsForTesting({});
  }

  static vpn::SimScenario Scenario(vpn::SimScenario::Kind kind, unsigned code = 0, int ms = 0) {
    vpn::SimScenario s;
    s.kind = kind;
    s.code = code;
    s.milliseconds = ms;
    s.stageMilliseconds = 5;
    return s;
  }

  vpn::DialRequest Request() {
    vpn::DialRequest r;
    r.entryName = "XOL";
    r.phoneNumber = "10.0.0.1";
    r.userName = "demo";
    r.password = "demo123";
    r.stopEvent = stop;
    r.protocol = "0";
    return r;
  }

  std::future<int> Dial() { return std::async(std::launch::async, vpn::DialThread, Request()); }

  RecordingView view;
  std::shared_ptr<vpn::SimRasBackend> backend;
  vpn::EventPtr stop = std::make_shared<vpn::Event>();
};

TEST_F(Dialer, ConnectsThenHangsUpOnTheStopEvent) {
  auto result = Dial();
  ASSERT_TRUE(view.WaitForCaption("断 开", 5s));
  EXPECT_EQ(view.LastStatus(), "连接成功\n");
  auto statuses = view.Statuses();
  EXPECT_EQ(statuses.front(), "Dialing... 10.0.0.1\n");
  EXPECT_NE(std::find(statuses.begin(), statuses.end(), "验证账户...\n"), statuses.end());
  EXPECT_EQ(backend->Entries().count("XOL"), 1u);
  EXPECT_EQ(backend->StoredParams().at("XOL").password, "demo123");

  stop->Set();
  EXPECT_EQ(result.get(), 1);
  statuses = view.Statuses();
  ASSERT_GE(statuses.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(statuses.end() - 3, statuses.end()),
            (std::vector<std::string>{"Connection to 10.0.0.1 terminated.\n",
                                      "Delete EntryName XOL OK.\n", "已断开"}));
  EXPECT_EQ(view.Captions().back(), "连 接");
  EXPECT_EQ(backend->Entries().count("XOL"), 0u);
  EXPECT_EQ(backend->ActiveConnections(), 0);
}

TEST_F(Dialer, ConnectionThatGoesAwayByItselfLeavesTheLastText) {
  backend->SetScenario(Scenario(vpn::SimScenario::Kind::kDrop, 0, 50));
  EXPECT_EQ(Dial().get(), 1);
  EXPECT_EQ(view.LastStatus(), "连接成功\n");
  EXPECT_EQ(view.Captions(), (std::vector<std::string>{"断 开", "连 接"}));
  EXPECT_EQ(backend->Entries().count("XOL"), 0u);
}

TEST_F(Dialer, AConnectionThatGoesAwayIsSeenAtOnceNotAtTheNextStatusQuery) {
  // Status queries half a minute apart: the backend's word that the link is gone wakes the watch.
  vpn::SetDialTimingsForTesting({2000ms, 30000ms, 5ms, 2000ms});
  backend->SetScenario(Scenario(vpn::SimScenario::Kind::kDrop, 0, 100));
  auto result = Dial();
  ASSERT_TRUE(view.WaitForCaption("断 开", 5s));
  ASSERT_EQ(result.wait_for(15s), std::future_status::ready);
  EXPECT_EQ(result.get(), 1);
  EXPECT_EQ(view.LastStatus(), "连接成功\n");  // gone by itself: no texts of a stop
  EXPECT_EQ(view.Captions().back(), "连 接");
}

TEST_F(Dialer, ErrorDuringTheDialShowsCodeAndTextAndRestoresTheButtonAtOnce) {
  backend->SetScenario(Scenario(vpn::SimScenario::Kind::kFail, 691));
  EXPECT_EQ(Dial().get(), 1);
  auto statuses = view.Statuses();
  EXPECT_EQ(statuses.back(), "ERROR:691 - 由于域上的用户名和/或密码无效而拒绝访问。\n");
  EXPECT_EQ(view.Captions(), (std::vector<std::string>{"连 接", "连 接"}));
  EXPECT_EQ(backend->Entries().count("XOL"), 0u);
}

TEST_F(Dialer, RefusedDialDeletesTheEntryAndStartsNothing) {
  backend->SetScenario(Scenario(vpn::SimScenario::Kind::kRefuse, 633));
  EXPECT_EQ(Dial().get(), 0);
  EXPECT_EQ(view.LastStatus(), "RasDial 10.0.0.1 error 633\n");
  EXPECT_EQ(view.Captions(), (std::vector<std::string>{"连 接"}));
  EXPECT_TRUE(backend->Entries().empty());
}

TEST_F(Dialer, SlowDialShowsTheDeviceTextThenConnects) {
  vpn::SetDialTimingsForTesting({100ms, 50ms, 5ms, 2000ms});
  backend->SetScenario(Scenario(vpn::SimScenario::Kind::kSlow, 0, 800));
  auto result = Dial();
  ASSERT_TRUE(view.WaitForCaption("断 开", 5s));
  auto statuses = view.Statuses();
  auto device = std::find(statuses.begin(), statuses.end(), "连接设备...\n");
  auto connected = std::find(statuses.begin(), statuses.end(), "连接成功\n");
  ASSERT_NE(connected, statuses.end());
  // The time-out's text comes after the stages the dial had reached by then.
  EXPECT_EQ(std::count(statuses.begin(), connected, "连接设备...\n"), 2);
  EXPECT_LT(device, connected);
  stop->Set();
  result.get();
}

// A backend that cannot tell when a connection has gone: the watch learns it at its next query.
class UntellingSim : public vpn::SimRasBackend {
 public:
  using vpn::SimRasBackend::SimRasBackend;
  void NotifyWhenGone(vpn::ConnectionHandle, std::function<void()>) override {}
};

TEST_F(Dialer, AnOlderDialThreadThatEndsLateLeavesTheNewerConnectionAsItIs) {
  // The first dial fails long after its wait for a final state has run out, and its thread only
  // notices at its next status query, after a redial has started a newer thread.
  backend = std::make_shared<UntellingSim>(Scenario(vpn::SimScenario::Kind::kFail, 678, 300));
  vpn::SetBackendForTesting(backend);
  vpn::SetDialTimingsForTesting({100ms, 3000ms, 5ms, 2000ms});
  auto older = Dial();
  ASSERT_TRUE(view.WaitForCaption("连 接", 5s));
  ASSERT_EQ(view.LastStatus().rfind("ERROR:678 - ", 0), 0u) << view.LastStatus();

  backend->SetScenario(Scenario(vpn::SimScenario::Kind::kOk));
  auto newerStop = std::make_shared<vpn::Event>();
  vpn::DialRequest request = Request();
  request.stopEvent = newerStop;
  auto newer = std::async(std::launch::async, vpn::DialThread, request);
  ASSERT_TRUE(view.WaitForCaption("断 开", 5s));

  EXPECT_EQ(older.get(), 1);
  EXPECT_EQ(view.Captions().back(), "断 开");
  EXPECT_EQ(view.LastStatus(), "连接成功\n");
  EXPECT_EQ(backend->Entries().count("XOL"), 1u);
  EXPECT_EQ(backend->ActiveConnections(), 1);

  newerStop->Set();
  EXPECT_EQ(newer.get(), 1);
  EXPECT_EQ(view.LastStatus(), "已断开");
  EXPECT_EQ(backend->Entries().count("XOL"), 0u);
}

// A backend that fails in ways no backend should: its errors must end only the dial.
class ThrowingSim : public vpn::SimRasBackend {
 public:
  using vpn::SimRasBackend::SimRasBackend;
  bool throwOnDial = false;
  unsigned Dial(const vpn::RasDialParams& params, vpn::DialCallback callback,
                vpn::ConnectionHandle* handle) override {
    if (throwOnDial) throw std::runtime_error("no dial today");
    return vpn::SimRasBackend::Dial(params, std::move(callback), handle);
  }
  std::string GetErrorString(unsigned) override { throw std::runtime_error("no text today"); }
};

TEST_F(Dialer, AnErrorNobodyExpectedEndsTheDialAndGivesTheButtonBack) {
  auto throwing = std::make_shared<ThrowingSim>(Scenario(vpn::SimScenario::Kind::kFail, 691));
  vpn::SetBackendForTesting(throwing);
  // In the status callback: the dial thread still ends the connection.
  EXPECT_EQ(Dial().get(), 1);
  EXPECT_EQ(view.Captions().back(), "连 接");
  EXPECT_EQ(throwing->ActiveConnections(), 0);
  // In the dial thread itself.
  throwing->throwOnDial = true;
  EXPECT_EQ(Dial().get(), 0);
  EXPECT_EQ(view.Captions().back(), "连 接");
  EXPECT_EQ(vpn::RunningDialThreads(), 0);
}

TEST_F(Dialer, ClosingEndsEveryDialAtOnceAndStartsNoNewOne) {
  // One connected, one still dialling with ten seconds left to reach its final state.
  vpn::SetDialTimingsForTesting({10000ms, 5000ms, 5ms, 10000ms});
  auto connected = Dial();
  ASSERT_TRUE(view.WaitForCaption("断 开", 5s));
  backend->SetScenario(Scenario(vpn::SimScenario::Kind::kSlow, 0, 60000));
  auto otherStop = std::make_shared<vpn::Event>();
  vpn::DialRequest request = Request();
  request.stopEvent = otherStop;
  auto dialling = std::async(std::launch::async, vpn::DialThread, request);
  for (int i = 0; i < 500 && backend->Dials().size() < 2; ++i) std::this_thread::sleep_for(10ms);
  ASSERT_EQ(backend->Dials().size(), 2u);

  const auto closed = std::chrono::steady_clock::now();
  vpn::CloseDialer();
  EXPECT_TRUE(vpn::WaitForDialThreads(8s));
  EXPECT_LT(std::chrono::steady_clock::now() - closed, 4s);
  EXPECT_EQ(connected.get(), 1);
  EXPECT_EQ(dialling.get(), 1);
  EXPECT_EQ(backend->ActiveConnections(), 0);
  EXPECT_TRUE(backend->Entries().empty());

  const std::size_t dials = backend->Dials().size();
  EXPECT_FALSE(vpn::StartDialThread(Request()));
  EXPECT_EQ(vpn::DialThread(Request()), 0);
  EXPECT_EQ(backend->Dials().size(), dials);
  vpn::ReopenDialerForTesting();
}

TEST_F(Dialer, EntryRecordFollowsTheProtocol) {
  struct Case {
    const char* protocol;
    std::uint32_t strategy;
  };
  for (Case c : {Case{"1", vpn::VS_PptpOnly}, Case{"0", vpn::VS_L2tpOnly},
                 Case{"", vpn::VS_L2tpOnly}, Case{"2", vpn::VS_L2tpOnly}}) {
    vpn::RasEntry entry = vpn::MakeDialEntry("XOL", "h", c.protocol);
    EXPECT_EQ(entry.vpnStrategy, c.strategy) << c.protocol;
    EXPECT_EQ(entry.options, 0x08000910u);
    EXPECT_EQ(entry.options2, 3u);
    EXPECT_EQ(entry.type, 2u);
    EXPECT_EQ(entry.encryptionType, 3u);
    EXPECT_EQ(entry.netProtocols, 4u);
    EXPECT_EQ(entry.deviceType, "vpn");
    EXPECT_EQ(entry.redialCount, 3u);
    EXPECT_EQ(entry.redialPause, 60u);
  }
}

TEST_F(Dialer, StateTextsAndStatusLimit) {
  EXPECT_EQ(text::GbkToUtf8(vpn::DialStateText(0)), "打开端口...\n");
  EXPECT_EQ(vpn::DialStateText(4), "All devices connected.\n");
  EXPECT_EQ(text::GbkToUtf8(vpn::DialStateText(0x2001)), "连接中...\n");
  EXPECT_EQ(vpn::DialStateText(99), "Unknown Status = 99\n");

  std::string longText(1500, 'x');
  vpn::SetStatus("%s", longText.c_str());
  EXPECT_EQ(view.LastStatus().size(), 1023u);
  std::string chinese = std::string(1022, 'a') + text::Utf8ToGbk("中");
  vpn::SetStatus("%s", chinese.c_str());
  EXPECT_EQ(view.LastStatus(), std::string(1022, 'a'));  // no half character at the cut
}

TEST_F(Dialer, OversizedRequestFieldsAreRefusedNotCut) {
  vpn::DialRequest request = Request();
  EXPECT_EQ(vpn::RefusalOfOversizedFields(request), std::nullopt);
  request.phoneNumber = std::string(128, 'h');
  EXPECT_EQ(vpn::RefusalOfOversizedFields(request), std::nullopt);
  request.phoneNumber = std::string(129, 'h');
  ASSERT_TRUE(vpn::RefusalOfOversizedFields(request));
  EXPECT_EQ(text::GbkToUtf8(*vpn::RefusalOfOversizedFields(request)),
            "错误信息：服务器地址过长（最多128个字符），未拨号");
  request = Request();
  request.password = std::string(257, 'p');
  EXPECT_TRUE(vpn::RefusalOfOversizedFields(request));
}

}  // namespace
