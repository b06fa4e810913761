#include <chrono>
#include <string>
#include <vector>

#include "HostTestFixture.h"
#include "tests/support/cLoopbackPort.h"
#include "tests/support/cSippPeer.h"

using namespace std::chrono_literals;

namespace {

// Björn (SIPp) calls alice, whose user agent runs in a page of our host.
class HostSippCallerTest : public HostTestFixture {
 protected:
  // Brings alice up on a port of her own and lets SIPp call it with the scenario. SIPp is also
  // alice's proxy: everything the agent sends goes to its proxy.
  void StartCall(cNPPage& page, const std::string& scenario) {
    const int nPort = kyttest::cLoopbackPort::FreeUdp();
    ASSERT_GT(nPort, 0);
    std::vector<cJsValue> account = {true,           "127.0.0.1", nPort,   "alice",
                                     "alice",        "secret",    "Alice", "example.com",
                                     m_Caller.Uri(), "",          true,    1};
    ASSERT_EQ(Call(page, "InitializeEx", account), cJsValue(true));
    ASSERT_TRUE(m_Caller.Start(DataFile(scenario), "127.0.0.1:" + std::to_string(nPort), 60s))
        << "sipp (package sip-tester) is needed\n"
        << m_Caller.Output();
  }

  // Runs the main loop until SIPp has played its call; answers its exit status.
  int RunUntilCallerEnds() {
    m_Host.GetMainLoop().RunUntil([&] { return m_Caller.Done(); }, 20s);
    return m_Caller.ExitCode();
  }

  kyttest::cSippPeer m_Caller;
};

// The page defines no OnIncomingCall, hears the ringing anyway and refuses the call from inside
// the event; the caller receives the 486 and acknowledges it.
TEST_F(HostSippCallerTest, RingingWithoutOnIncomingCallAndARefusalFromInsideTheEvent) {
  cNPPage page(&m_Host);
  std::vector<std::string> ringing;
  page.SetEventFunction("OnIncomingCallRingingStart", [&](const cNPPage::tArgs& args) {
    ASSERT_EQ(args.size(), 1u);
    ringing.push_back(args[0].GetString());
    EXPECT_EQ(Call(page, "RejectCall", {args[0]}), cJsValue(true));
  });
  StartCall(page, "caller_reject.xml");
  EXPECT_EQ(RunUntilCallerEnds(), 0) << m_Caller.Output();
  ASSERT_EQ(ringing.size(), 1u);
  EXPECT_FALSE(ringing[0].empty());
  Call(page, "UnInitialize");
}

// The caller's display name reaches the page whole; the five texts come in their order.
TEST_F(HostSippCallerTest, IncomingCallCarriesTheCallerWhole) {
  cNPPage page(&m_Host);
  RecordEvents(page);
  page.SetEventFunction("OnIncomingCallRingingStart", [&](const cNPPage::tArgs& args) {
    m_Events.emplace_back("OnIncomingCallRingingStart", args);
    Call(page, "RejectCall", {args.at(0)});
  });
  StartCall(page, "caller_reject.xml");
  EXPECT_EQ(RunUntilCallerEnds(), 0) << m_Caller.Output();
  ASSERT_EQ(m_Events.size(), 2u);
  const tEvent& incoming = m_Events[0];
  ASSERT_EQ(incoming.first, "OnIncomingCall");
  ASSERT_EQ(incoming.second.size(), 5u);
  const std::string callId = incoming.second[0].GetString();
  EXPECT_FALSE(callId.empty());
  EXPECT_EQ(incoming.second[1], cJsValue("Bj\xC3\xB6rn \xF0\x9F\x8E\xA7"));
  EXPECT_EQ(incoming.second[2], cJsValue("bjoern"));
  EXPECT_NE(incoming.second[3].GetString().find("bjoern@127.0.0.1"), std::string::npos);
  EXPECT_NE(incoming.second[4].GetString().find("alice@127.0.0.1"), std::string::npos);
  EXPECT_EQ(m_Events[1], tEvent("OnIncomingCallRingingStart", {callId}));
  Call(page, "UnInitialize");
}

TEST_F(HostSippCallerTest, ACancelWhileRingingStopsTheRinging) {
  cNPPage page(&m_Host);
  RecordEvents(page);
  StartCall(page, "caller_cancel.xml");
  EXPECT_EQ(RunUntilCallerEnds(), 0) << m_Caller.Output();
  ASSERT_EQ(m_Events.size(), 3u);
  const std::string callId = m_Events[0].second.at(0).GetString();
  EXPECT_EQ(m_Events[0].first, "OnIncomingCall");
  EXPECT_EQ(m_Events[1], tEvent("OnIncomingCallRingingStart", {callId}));
  EXPECT_EQ(m_Events[2], tEvent("OnIncomingCallRingingStop", {callId}));
  Call(page, "UnInitialize");
}

}  // namespace
