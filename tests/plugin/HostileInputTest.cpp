// Whatever a script passes, the plug-in keeps its messages whole and its resources bounded.

#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <vector>

#include "PluginTest.h"
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
    m_pProxy = std::make_unique<kyttest::cLoopbackPeer>(&m_Host.GetMainLoop());
    m_sProxy = "sip:127.0.0.1:" + std::to_string(m_pProxy->Port());
  }
  void TearDown() override {
    m_pPage.reset();
    PluginTest::TearDown();
  }

  void StartSession() {
    ASSERT_EQ(Call(*m_pPage, "InitializeEx",
                   {true, "127.0.0.1", 0, "alice", "alice", "pw", "Alice", "127.0.0.1", m_sProxy,
                    "", true, 2}),
              cJsValue(true));
    ASSERT_EQ(
        Call(*m_pPage, "OpenLine", {0, true, "127.0.0.1", kyttest::cLoopbackPort::FreeUdp(2)}),
        cJsValue(true));
  }
  int32_t Error() { return Call(*m_pPage, "GetKytObjectError").GetInt(); }

  kyttest::cTempDir m_Dir{"kyt-hostile-"};
  std::unique_ptr<cNPPage> m_pPage;
  std::unique_ptr<kyttest::cLoopbackPeer> m_pProxy;
  std::string m_sProxy;
};

// Each script function that takes a text, with the text at $: a line break or NUL is refused
// with 22 (or the function's own answer); quotes and angle brackets are quoted or escaped. After
// each call the agent registers and dials, so every account text is on the wire.
TEST_F(HostileInputTest, NoScriptTextAddsAHeaderLine) {
  struct cRow {
    const char* pName;
    std::vector<const char*> args;  // "$" is the hostile text
    bool bRefused;                  // a line break answers false with 22
  };
  const std::string sProxy = m_sProxy;
  const std::vector<cRow> rows = {
      {"Initialize", {"$", "", "P"}, true},
      {"Initialize", {"sip:a@127.0.0.1", "$", "P"}, true},
      {"Initialize", {"sip:a@127.0.0.1", "", "$"}, true},
      {"InitializeEx", {"$", "Alice", "127.0.0.1", "P"}, true},
      {"InitializeEx", {"alice", "$", "127.0.0.1", "P"}, true},
      {"InitializeEx", {"alice", "Alice", "$", "P"}, true},
      {"DialCall", {"$"}, true},
      {"Connect", {"$"}, true},
      {"TransferCall", {"$"}, true},
      {"TransferCallEx", {"$"}, true},
      {"ChatAddContact", {"$"}, true},
      {"ChatRemoveContact", {"$"}, true},
      {"ChatSendMessageTyping", {"$"}, true},
      {"ChatSendMessageText", {"$"}, true},
      {"OpenLine", {"$"}, true},
      {"RejectCall", {"$"}, false},
      {"AcceptCall", {"$"}, false},
      {"ForwardCall", {"$"}, false},
      {"SetUserAgentSIP", {"$"}, false},
      {"AddCustomHeader", {"$"}, false},
  };
  const std::vector<std::string> breaks = {"x\r\nX-Injected: 1", "x\nX-Injected: 1",
                                           "x\rX-Injected: 1",
                                           std::string("x\0\r\nX-Injected: 1", 18)};
  const std::vector<std::string> marks = {"\"X-Injected: 1\" <sip:x@y>", "a<b>\"c\\", "<>"};
  auto Value = [&](const char* p, const std::string& v) {
    std::string s = p;
    return s == "$" ? v : s == "P" ? sProxy : s;
  };
  for (const cRow& row : rows) {
    for (const auto* pSet : {&breaks, &marks}) {
      for (const std::string& v : *pSet) {
        StartSession();
        const std::string name = row.pName;
        auto A = [&](size_t i) { return cJsValue(Value(row.args[i], v)); };
        std::vector<cJsValue> args;
        if (name == "Initialize")
          args = {true, "127.0.0.1", 0, A(0), A(1), A(2), "alice", "pw", true, 1};
        else if (name == "InitializeEx")
          args = {true, "127.0.0.1", 0, A(0), "alice", "pw", A(1), A(2), A(3), "", true, 1};
        else if (name == "ChatSendMessageTyping" || name == "ForwardCall")
          args = name == "ForwardCall" ? std::vector<cJsValue>{true, A(0)}
                                       : std::vector<cJsValue>{A(0), 7};
        else if (name == "ChatSendMessageText")
          args = {A(0), "hi", 101, 7};
        else if (name == "OpenLine")
          args = {0, true, A(0), 0};
        else if (name == "AcceptCall" || name == "DialCall" || name == "Connect")
          args = {0, A(0), 0, 0};
        else if (name == "AddCustomHeader")
          args = {0, 0, "X-Custom", A(0)};
        else if (name == "TransferCall" || name == "TransferCallEx")
          args = {0, A(0)};
        else
          args = {A(0)};
        const cJsValue answer = Call(*m_pPage, name, args);
        const bool bBreak = pSet == &breaks;
        if (bBreak && row.bRefused) {
          EXPECT_EQ(answer, cJsValue(false)) << name << " " << cJsValue::ToJSON({cJsValue(v)});
          EXPECT_EQ(Error(), 22) << name;
        }
        // Whatever session is up now shows its account texts on the wire.
        Call(*m_pPage, "OpenLine", {0, true, "127.0.0.1", kyttest::cLoopbackPort::FreeUdp(2)});
        Call(*m_pPage, "RegisterToProxy", {300});
        Call(*m_pPage, "DialCall", {0, "bob", 0, 0});
        Call(*m_pPage, "ChatSendMessageText", {"bob", "hi", 101, 1});
        Call(*m_pPage, "Disconnect", {0});
        Call(*m_pPage, "UnInitialize");
      }
    }
  }
  m_Host.GetMainLoop().RunFor(300ms);
  ASSERT_GT(m_pProxy->m_Received.size(), rows.size());
  for (const std::string& datagram : m_pProxy->m_Received) {
    EXPECT_EQ(datagram.find("\nX-Injected"), std::string::npos) << datagram;
    EXPECT_EQ(datagram.find("\rX-Injected"), std::string::npos) << datagram;
    EXPECT_EQ(datagram.find("X-Custom"), std::string::npos) << datagram;
  }
}

size_t ResidentBytes() {
  std::ifstream statm("/proc/self/statm");
  size_t nPages = 0, nResident = 0;
  statm >> nPages >> nResident;
  return nResident * static_cast<size_t>(sysconf(_SC_PAGESIZE));
}

TEST_F(HostileInputTest, AbsurdCountsAndTextsAreRefusedWithACode) {
  const size_t nBefore = ResidentBytes();
  EXPECT_EQ(
      Call(*m_pPage, "Initialize",
           {true, "127.0.0.1", 0, "sip:a@127.0.0.1", "", m_sProxy, "a", "p", true, 2147483647}),
      cJsValue(false));
  EXPECT_EQ(Error(), 29);
  EXPECT_LT(ResidentBytes(), nBefore + (64u << 20));

  for (const char* pFrom : {"not a uri", "<>", ""}) {
    EXPECT_EQ(Call(*m_pPage, "Initialize",
                   {true, "127.0.0.1", 0, pFrom, "", m_sProxy, "a", "p", true, 1}),
              cJsValue(false))
        << pFrom;
    EXPECT_EQ(Error(), 22) << pFrom;
  }
  EXPECT_EQ(
      Call(*m_pPage, "Initialize",
           {true, "127.0.0.1", 0, "sip:a@127.0.0.1", "bad outbound", m_sProxy, "a", "p", true, 1}),
      cJsValue(false));
  EXPECT_EQ(Error(), 22);

  StartSession();
  const size_t nSent = m_pProxy->m_Received.size();
  EXPECT_EQ(Call(*m_pPage, "Connect", {0, "", 0, 0}), cJsValue(false));
  EXPECT_EQ(Error(), 22);
  EXPECT_EQ(Call(*m_pPage, "DialCall", {0, "", 0, 0}), cJsValue(false));
  EXPECT_EQ(Error(), 22);
  EXPECT_EQ(Call(*m_pPage, "ChatSendMessageText", {"bob", std::string(65537, 'a'), 101, 1}),
            cJsValue(false));
  EXPECT_EQ(Error(), 41);
  m_Host.GetMainLoop().RunFor(200ms);
  EXPECT_EQ(m_pProxy->m_Received.size(), nSent);
}

}  // namespace
