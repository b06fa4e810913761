// Registration to a domain that DNS resolves through NAPTR and SRV, served by dnsmasq on loopback:
// the agent tries the registrars by priority and moves on after a 503 and after a time-out, and
// its main loop keeps its pace while DNS does not answer at all; a MESSAGE moves on after a 503 the
// same way. SRV ordering by weight is a table.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/cAsioMainLoop.h"
#include "platform/cUdpSocket.h"
#include "sip/cLocatorSIP.h"
#include "tests/support/TextFile.h"
#include "tests/support/Wait.h"
#include "tests/support/cChildProcess.h"
#include "tests/support/cLoopbackPort.h"
#include "tests/support/cRecordingLib.h"
#include "tests/support/cSippPeer.h"
#include "tests/support/cTempDir.h"

using namespace std::chrono_literals;

namespace {

struct sOrderCase {
  std::vector<uint32_t> draws;  // in [0, sum of the weights left], one per place
  std::string sExpected;
};

TEST(SrvOrder, LowestPriorityFirstThenDrawsInProportionToWeight) {
  // d alone at priority 5; a (weight 0), b (60) and c (40) share priority 10; "." means none.
  const std::vector<sOrderCase> cases = {
      {{0, 0, 60, 0}, "d a b c"},   // 0 lands on the weight-0 record, 60 still on b
      {{0, 0, 61, 0}, "d a c b"},   // one past b's share
      {{0, 1, 0, 0}, "d b a c"},    // the first point of b's share
      {{0, 100, 0, 0}, "d c a b"},  // the top of c's share
  };
  for (const sOrderCase& c : cases) {
    std::vector<cDnsResolver::sRecord> records(5);
    const char* pNames[] = {"a", "b", "c", "d", "."};
    const uint16_t nPriorities[] = {10, 10, 10, 5, 1};
    const uint16_t nWeights[] = {0, 60, 40, 0, 5};
    for (size_t i = 0; i < records.size(); ++i) {
      records[i].sName = pNames[i];
      records[i].nPriority = nPriorities[i];
      records[i].nWeight = nWeights[i];
    }
    size_t nNext = 0;
    cLocatorSIP::OrderSrv(records, [&](uint32_t nBound) {
      EXPECT_LT(nNext, c.draws.size());
      const uint32_t nDraw = nNext < c.draws.size() ? c.draws[nNext++] : 0;
      EXPECT_LT(nDraw, nBound);
      return nDraw;
    });
    std::string sOrder;
    for (const auto& record : records) sOrder += (sOrder.empty() ? "" : " ") + record.sName;
    EXPECT_EQ(c.sExpected, sOrder);
    EXPECT_EQ(c.draws.size(), nNext);
  }
}

// A UDP port that keeps what reaches it and never answers: a server that is down or a DNS
// server that drops every query.
struct cSilentPeer {
  cSilentPeer(cAsioMainLoop* pLoop, uint16_t nPort) {
    m_bOpen = m_Socket.Bind("127.0.0.1", nPort) &&
              m_Socket.StartReader(pLoop, [this](const std::string& data, const std::string&,
                                                 uint16_t) { m_Received.push_back(data); });
  }
  cUdpSocket m_Socket;
  bool m_bOpen = false;
  std::vector<std::string> m_Received;
};

class DnsSrvSipp : public ::testing::Test {
 protected:
  void TearDown() override { unsetenv(cDnsResolver::kServersVariable); }

  bool StartDns(uint16_t nPort, const std::vector<std::string>& records) {
    std::vector<std::string> args = {"dnsmasq",
                                     "--keep-in-foreground",
                                     "--conf-file=/dev/null",
                                     "--no-resolv",
                                     "--no-hosts",
                                     "--listen-address=127.0.0.1",
                                     "--bind-interfaces",
                                     "--port=" + std::to_string(nPort),
                                     "--pid-file",
                                     "--local-ttl=60",
                                     "--log-queries",
                                     "--log-facility=-"};
    args.insert(args.end(), records.begin(), records.end());
    args[0] = kyttest::cChildProcess::FindProgram("dnsmasq");
    if (args[0].empty() || !m_Dns.Start(args, m_Dir.File("dnsmasq.log"))) return false;
    return kyttest::PollUntil([&] { return kyttest::cLoopbackPort::IsUdpTaken(nPort); }, 10s);
  }
  std::string DnsLog() const { return kyttest::ReadText(m_Dir.File("dnsmasq.log")); }

  cAsioMainLoop m_Loop;
  kyttest::cTempDir m_Dir{"kyt-dns-"};
  kyttest::cChildProcess m_Dns;
};

TEST_F(DnsSrvSipp, RegistersByPriorityAndFailsOverAfter503AndTimeOut) {
  kyttest::cSippPeer refusing;
  kyttest::cSippPeer accepting;
  const std::string sScenario = std::string(KYT_UA_TEST_DATA) + "/reg_answer_uas.xml";
  ASSERT_TRUE(refusing.Start(sScenario, "", 60s,
                             {{"method", "REGISTER"}, {"status", "503 Service Unavailable"}}))
      << refusing.Output();
  ASSERT_TRUE(accepting.Start(sScenario, "", 60s, {{"method", "REGISTER"}, {"status", "200 OK"}}))
      << accepting.Output();
  cSilentPeer silent(&m_Loop, kyttest::cLoopbackPort::FreeUdp());
  ASSERT_TRUE(silent.m_bOpen);

  // The NAPTR names SRV records apart from the domain's own, so a registration shows it was read.
  const uint16_t nDnsPort = kyttest::cLoopbackPort::FreeUdp();
  auto srv = [](const char* pHost, uint16_t nPort, int nPriority) {
    return "--srv-host=_sip._udp.srv.kyt.test," + std::string(pHost) + "," + std::to_string(nPort) +
           "," + std::to_string(nPriority) + ",10";
  };
  ASSERT_TRUE(StartDns(
      nDnsPort,
      {"--naptr-record=kyt.test,10,10,S,SIP+D2U,,_sip._udp.srv.kyt.test",
       srv("c.kyt.test", accepting.Port(), 30), srv("a.kyt.test", refusing.Port(), 10),
       srv("b.kyt.test", silent.m_Socket.GetLocalPort(), 20), "--host-record=a.kyt.test,127.0.0.1",
       "--host-record=b.kyt.test,127.0.0.1", "--host-record=c.kyt.test,127.0.0.1"}))
      << DnsLog();
  setenv(cDnsResolver::kServersVariable, ("127.0.0.1:" + std::to_string(nDnsPort)).c_str(), 1);

  kyttest::cRecordingLib agent(&m_Loop);
  ASSERT_TRUE(agent.Initialize(true, "127.0.0.1", 0, "sip:alice@kyt.test", "", "sip:kyt.test",
                               "alice", "pw", true, 1));
  const auto start = std::chrono::steady_clock::now();
  ASSERT_TRUE(agent.RegisterToProxy(300));
  ASSERT_TRUE(m_Loop.RunUntil([&] { return agent.Heard("OnSuccessToRegister"); }, 40s))
      << agent.All() << DnsLog();
  const auto elapsed = std::chrono::steady_clock::now() - start;

  EXPECT_FALSE(agent.Heard("OnFailToRegister")) << agent.All();
  EXPECT_EQ(0, refusing.Wait(5s)) << refusing.Output();
  EXPECT_EQ(0, accepting.Wait(5s)) << accepting.Output();
  // Priority 10 first (its 503 moves on at once), 20 next (silent: the REGISTER time-out moves
  // on), 30 last; each try is a new transaction.
  EXPECT_NE(std::string::npos, refusing.Output().find("CSeq: 1 REGISTER")) << refusing.Output();
  ASSERT_FALSE(silent.m_Received.empty());
  EXPECT_NE(std::string::npos, silent.m_Received.front().find("CSeq: 2 REGISTER"));
  EXPECT_NE(std::string::npos, accepting.Output().find("CSeq: 3 REGISTER")) << accepting.Output();
  EXPECT_GE(elapsed, 15s);
  EXPECT_NE(std::string::npos, DnsLog().find("query[NAPTR] kyt.test"));
  EXPECT_NE(std::string::npos, DnsLog().find("query[SRV] _sip._udp.srv.kyt.test"));
}

TEST_F(DnsSrvSipp, MessageFailsOverAfter503) {
  kyttest::cSippPeer refusing;
  kyttest::cSippPeer accepting;
  const std::string sScenario = std::string(KYT_UA_TEST_DATA) + "/reg_answer_uas.xml";
  ASSERT_TRUE(refusing.Start(sScenario, "", 30s, {{"method", "MESSAGE"}, {"status", "503 Busy"}}));
  ASSERT_TRUE(accepting.Start(sScenario, "", 30s, {{"method", "MESSAGE"}, {"status", "200 OK"}}));
  const uint16_t nDnsPort = kyttest::cLoopbackPort::FreeUdp();
  ASSERT_TRUE(StartDns(
      nDnsPort,
      {"--srv-host=_sip._udp.kyt.test,a.kyt.test," + std::to_string(refusing.Port()) + ",10,10",
       "--srv-host=_sip._udp.kyt.test,a.kyt.test," + std::to_string(accepting.Port()) + ",20,10",
       "--host-record=a.kyt.test,127.0.0.1"}))
      << DnsLog();
  setenv(cDnsResolver::kServersVariable, ("127.0.0.1:" + std::to_string(nDnsPort)).c_str(), 1);
  kyttest::cRecordingLib agent(&m_Loop);
  ASSERT_TRUE(agent.Initialize(true, "127.0.0.1", 0, "sip:alice@kyt.test", "", "sip:kyt.test",
                               "alice", "pw", true, 1));
  ASSERT_TRUE(agent.ChatSendMessageText("bob", "hi", 101, 7));
  ASSERT_TRUE(m_Loop.RunUntil([&] { return agent.Heard("OnChatSendMsgText"); }, 20s)) << DnsLog();
  EXPECT_TRUE(agent.Heard("OnChatSendMsgTextSuccess")) << agent.All();
  EXPECT_EQ(0, refusing.Wait(5s)) << refusing.Output();
  EXPECT_EQ(0, accepting.Wait(5s)) << accepting.Output();
  EXPECT_NE(std::string::npos, accepting.Output().find("CSeq: 2 MESSAGE")) << accepting.Output();
}

TEST_F(DnsSrvSipp, MainLoopKeepsItsPaceWhileDnsDoesNotAnswer) {
  cSilentPeer dns(&m_Loop, kyttest::cLoopbackPort::FreeUdp());
  ASSERT_TRUE(dns.m_bOpen);
  setenv(cDnsResolver::kServersVariable,
         ("127.0.0.1:" + std::to_string(dns.m_Socket.GetLocalPort())).c_str(), 1);
  kyttest::cRecordingLib agent(&m_Loop);
  ASSERT_TRUE(agent.Initialize(true, "127.0.0.1", 0, "sip:alice@kyt.test", "", "sip:kyt.test",
                               "alice", "pw", true, 1));

  // A timer every 50 ms while the REGISTER and its resends wait for a name that never comes.
  auto last = std::chrono::steady_clock::now();
  auto longest = std::chrono::steady_clock::duration::zero();
  const uint32_t nTimer = m_Loop.StartTimer(50, [&] {
    const auto now = std::chrono::steady_clock::now();
    longest = std::max(longest, now - last);
    last = now;
  });
  const auto before = std::chrono::steady_clock::now();
  ASSERT_TRUE(agent.RegisterToProxy(300));
  const auto call = std::chrono::steady_clock::now() - before;
  m_Loop.RunFor(5s);
  m_Loop.StopTimer(nTimer);

  EXPECT_FALSE(dns.m_Received.empty()) << "the agent asked the silent DNS server";
  EXPECT_FALSE(agent.Heard("OnSuccessToRegister"));
  EXPECT_LT(call, 500ms);
  EXPECT_LT(longest, 1s) << "the main loop stalled";
}

}  // namespace
