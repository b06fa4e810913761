// Whatever a script passes, the plug-in keeps its messages whole and its resources bounded.

#include <sys/resource.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/plugin/PluginTest.h"
#include "tests/support/cLoopbackPeer.h"
#include "tests/support/cLoopbackPort.h"
#include "tests/support/cTempDir.h"

using namespace std::chrono_literals;

namespace {

class HostileInputTest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    m_pPage = std::make_unique<cNPPage>(
        &m_Host, cNPPage::tAttributes{{"audio", "virtual"}, {"speaker", m_Dir.File("spk.wav")}});
  }
  void TearDown() override {
    m_pPage.reset();
    PluginTest::TearDown();
  }

  void StartSession(int nPort = 0) {
    ASSERT_EQ(Call(*m_pPage, "InitializeEx",
                   {true, "127.0.0.1", nPort, "alice", "alice", "pw", "Alice", "127.0.0.1",
                    m_sProxy, "", true, 2}),
              cJsValue(true));
    for (int nLine : {0, 1})
      ASSERT_EQ(Call(*m_pPage, "OpenLine",
                     {nLine, true, "127.0.0.1", kyttest::cLoopbackPort::FreeUdp(2)}),
                cJsValue(true));
  }
  int32_t Error() { return Call(*m_pPage, "GetKytObjectError").GetInt(); }

  kyttest::cTempDir m_Dir{"kyt-hostile-"};
  std::unique_ptr<cNPPage> m_pPage;
  kyttest::cLoopbackPeer m_Proxy{&m_Host.GetMainLoop()};
  const std::string m_sProxy = "sip:127.0.0.1:" + std::to_string(m_Proxy.Port());
};

// Each script function that takes a text, with "$" standing for the text: a line break or NUL
// is refused (false, 22) where the text would reach a message, and quotes and angle brackets are
// quoted or escaped. After each call the agent registers, dials and chats, so whatever account
// is up shows its texts on the wire.
TEST_F(HostileInputTest, NoScriptTextAddsAHeaderLine) {
  const cJsValue S("$"), P(m_sProxy), F("sip:a@127.0.0.1"), L("127.0.0.1");
  const std::vector<std::pair<std::vector<cJsValue>, bool>> rows = {
      {{"Initialize", true, L, 0, S, "", P, "alice", "pw", true, 1}, true},
      {{"Initialize", true, L, 0, F, S, P, "alice", "pw", true, 1}, true},
      {{"Initialize", true, L, 0, F, "", S, "alice", "pw", true, 1}, true},
      {{"Initialize", true, L, 0, F, "", P, S, "pw", true, 1}, true},
      {{"InitializeEx", true, L, 0, S, "alice", "pw", "Alice", L, P, "", true, 1}, true},
      {{"InitializeEx", true, L, 0, "alice", "alice", "pw", S, L, P, "", true, 1}, true},
      {{"InitializeEx", true, L, 0, "alice", "alice", "pw", "Alice", S, P, "", true, 1}, true},
      {{"OpenLine", 0, true, S, 0}, true},
      {{"DialCall", 0, S, 0, 0}, true},
      {{"Connect", 0, S, 0, 0}, true},
      {{"TransferCall", 0, S}, true},
      {{"TransferCallEx", 0, S}, true},
      {{"ChatAddContact", S}, true},
      {{"ChatRemoveContact", S}, true},
      {{"ChatSendMessageTyping", S, 7}, true},
      {{"ChatSendMessageText", S, "hi", 101, 7}, true},
      {{"AcceptCall", 0, S, 0, 0}, false},
      {{"RejectCall", S}, false},
      {{"ForwardCall", true, S}, false},
      {{"SetUserAgentSIP", S}, false},
      {{"AddCustomHeader", 0, 0, "X-Custom", S}, false},
  };
  // The first four break the line; the others only need quoting or escaping.
  const std::string values[] = {"x\r\nX-Injected: 1",
                                "x\nX-Injected: 1",
                                "x\rX-Injected: 1",
                                std::string("x\0\r\nX-Injected: 1", 18),
                                "\"X-Injected: 1\" <sip:x@y>",
                                "a<b>\"c\\",
                                "<>"};
  for (const auto& [row, bRefused] : rows) {
    for (size_t i = 0; i < std::size(values); ++i) {
      StartSession();
      std::vector<cJsValue> args(row.begin() + 1, row.end());
      for (cJsValue& arg : args)
        if (arg == S) arg = cJsValue(values[i]);
      const cJsValue answer = Call(*m_pPage, row[0].GetString(), args);
      if (i < 4 && bRefused) {
        EXPECT_EQ(answer, cJsValue(false)) << cJsValue::ToJSON(args);
        EXPECT_EQ(Error(), 22) << cJsValue::ToJSON(args);
      }
      Call(*m_pPage, "OpenLine", {0, true, L, kyttest::cLoopbackPort::FreeUdp(2)});
      Call(*m_pPage, "RegisterToProxy", {300});
      Call(*m_pPage, "DialCall", {0, "bob", 0, 0});
      Call(*m_pPage, "ChatSendMessageText", {"bob", "hi", 101, 1});
      Call(*m_pPage, "Disconnect", {0});
      Call(*m_pPage, "UnInitialize");
    }
  }
  m_Host.GetMainLoop().RunFor(300ms);
  ASSERT_GT(m_Proxy.m_Received.size(), rows.size());
  std::string sent;
  for (const std::string& datagram : m_Proxy.m_Received) sent += datagram;
  for (const char* pLine : {"\nX-Injected", "\rX-Injected", "X-Custom"})
    EXPECT_EQ(sent.find(pLine), std::string::npos) << pLine;
  // The display name of InitializeEx quoted, the number of DialCall escaped.
  EXPECT_NE(sent.find("From: \"a<b>\\\"c\\\\\" <sip:alice@127.0.0.1>"), std::string::npos);
  EXPECT_NE(sent.find("INVITE sip:a%3Cb%3E%22c%5C@127.0.0.1 SIP/2.0"), std::string::npos);
}

// Each call answers false with its code, sends nothing and allocates nothing to speak of.
TEST_F(HostileInputTest, AbsurdCountsAndTextsAreRefusedWithACode) {
  // Peak resident size in kilobytes.
  auto Peak = [] {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
  };
  const long nBefore = Peak();
  const cJsValue L("127.0.0.1"), F("sip:a@127.0.0.1"), P(m_sProxy);
  const std::vector<std::pair<std::vector<cJsValue>, int32_t>> rows = {
      {{"Initialize", true, L, 0, "not a uri", "", P, "a", "p", true, 1}, 22},
      {{"Initialize", true, L, 0, "<>", "", P, "a", "p", true, 1}, 22},
      {{"Initialize", true, L, 0, F, "bad outbound", P, "a", "p", true, 1}, 22},
      {{"Connect", 0, "", 0, 0}, 22},
      {{"DialCall", 0, "", 0, 0}, 22},
      {{"ChatSendMessageText", "bob", std::string(65537, 'a'), 101, 1}, 41},
      {{"Initialize", true, L, 0, F, "", P, "a", "p", true, 2147483647}, 29},
  };
  StartSession();  // the refused texts leave it up
  for (const auto& [row, nCode] : rows) {
    EXPECT_EQ(Call(*m_pPage, row[0].GetString(), {row.begin() + 1, row.end()}), cJsValue(false))
        << row[0].GetString();
    EXPECT_EQ(Error(), nCode) << cJsValue::ToJSON(row);
  }
  EXPECT_LT(Peak(), nBefore + 64 * 1024);
  m_Host.GetMainLoop().RunFor(200ms);
  EXPECT_TRUE(m_Proxy.m_Received.empty());
}

// A call the page answered and the caller then cancelled is not answered again, nor on another
// line, and closing the line stops the speaker whatever the call did.
TEST_F(HostileInputTest, AnAnsweredThenCancelledCallStaysClosed) {
  const int nPort = kyttest::cLoopbackPort::FreeUdp();
  StartSession(nPort);
  auto Send = [&](const std::string& method, const std::string& body) {
    const std::string from = std::to_string(m_Proxy.Port());
    m_Proxy.SendTo(static_cast<uint16_t>(nPort),
                   method + " sip:alice@127.0.0.1 SIP/2.0\r\nVia: SIP/2.0/UDP 127.0.0.1:" + from +
                       ";branch=z9hG4bK-g\r\nFrom: <sip:bob@127.0.0.1:" + from +
                       ">;tag=b\r\nTo: <sip:alice@127.0.0.1>\r\nCall-ID: g1\r\nCSeq: 1 " + method +
                       "\r\nContent-Type: application/sdp\r\nContent-Length: " +
                       std::to_string(body.size()) + "\r\n\r\n" + body);
  };
  Send("INVITE",
       "v=0\r\no=b 1 1 IN IP4 127.0.0.1\r\ns=-\r\nc=IN IP4 127.0.0.1\r\nt=0 0\r\n"
       "m=audio 9 RTP/AVP 0\r\n");
  ASSERT_TRUE(m_Host.GetMainLoop().RunUntil([&] { return !m_Proxy.m_Received.empty(); }, 5s));
  EXPECT_EQ(Call(*m_pPage, "AcceptCall", {0, "g1", 0, 0}), cJsValue(true)) << Error();
  EXPECT_EQ(Call(*m_pPage, "AcceptCall", {1, "g1", 0, 0}), cJsValue(false));
  EXPECT_EQ(Error(), 30);
  Send("CANCEL", "");
  m_Host.GetMainLoop().RunFor(300ms);
  EXPECT_EQ(Call(*m_pPage, "AcceptCall", {0, "g1", 0, 0}), cJsValue(false));
  EXPECT_EQ(Error(), 32);

  auto SpeakerGrows = [&] {
    const auto nSize = std::filesystem::file_size(m_Dir.File("spk.wav"));
    m_Host.GetMainLoop().RunFor(600ms);
    return std::filesystem::file_size(m_Dir.File("spk.wav")) > nSize;
  };
  EXPECT_TRUE(SpeakerGrows());
  EXPECT_EQ(Call(*m_pPage, "CloseLine", {0}), cJsValue(true));
  EXPECT_FALSE(SpeakerGrows());
}

}  // namespace
