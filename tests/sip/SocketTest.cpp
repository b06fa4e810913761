// The SIP socket over loopback, its system-log lines and outgoing diagnostics, the listen-port
// search and the choice of the local address.

#include <dlfcn.h>
#include <gtest/gtest.h>
#include <syslog.h>

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "PacketTestCore.h"
#include "platform/cAsioMainLoop.h"
#include "platform/cUdpSocket.h"
#include "sip/cGenListenPortSIP.h"
#include "sip/cMyIP.h"
#include "sip/cSocketSIP.h"
#include "tests/support/Wait.h"
#include "tests/support/cTcpListener.h"

using sipmsgtest::cTestCore;
using sipmsgtest::cTestEvents;

namespace {

// System-log lines written while a cSysLogCapture lives; at other times they go to the system
// log as usual.
std::mutex g_LogLock;
std::vector<std::string>* g_pLogLines = nullptr;

class cSysLogCapture {
 public:
  cSysLogCapture() {
    std::lock_guard<std::mutex> lock(g_LogLock);
    g_pLogLines = &m_Lines;
  }
  ~cSysLogCapture() {
    std::lock_guard<std::mutex> lock(g_LogLock);
    g_pLogLines = nullptr;
  }
  std::vector<std::string> Lines() {
    std::lock_guard<std::mutex> lock(g_LogLock);
    return m_Lines;
  }

 private:
  std::vector<std::string> m_Lines;
};

}  // namespace

// The process's system log passes through here (the test executable's definition comes first).
extern "C" void vsyslog(int nPriority, const char* pFormat, va_list args) {
  {
    std::lock_guard<std::mutex> lock(g_LogLock);
    if (g_pLogLines) {
      va_list copy;
      va_copy(copy, args);
      int nLen = vsnprintf(nullptr, 0, pFormat, copy);
      va_end(copy);
      std::string line(nLen > 0 ? static_cast<size_t>(nLen) : 0, '\0');
      if (nLen > 0) vsnprintf(line.data(), line.size() + 1, pFormat, args);
      g_pLogLines->push_back(line);
      return;
    }
  }
  using VSysLog = void (*)(int, const char*, va_list);
  static const auto pNext = reinterpret_cast<VSysLog>(dlsym(RTLD_NEXT, "vsyslog"));
  if (pNext) pNext(nPriority, pFormat, args);
}

namespace {

constexpr auto kWait = std::chrono::seconds(5);
// A name no resolver can look up: its first label is longer than DNS allows, so the look-up
// fails before any query leaves the machine.
const std::string kUnknownName = std::string(70, 'x') + ".invalid";

// A loopback UDP peer whose datagrams are kept in arrival order.
class cPeer {
 public:
  explicit cPeer(cAsioMainLoop* pLoop, uint16_t nPort = 0) {
    EXPECT_TRUE(m_Socket.Bind("127.0.0.1", nPort));
    EXPECT_TRUE(m_Socket.StartReader(pLoop, [this](const std::string& data, const std::string&,
                                                   uint16_t) { m_Received.push_back(data); }));
  }
  ~cPeer() { m_Socket.Close(); }
  uint16_t Port() const { return m_Socket.GetLocalPort(); }
  void SendTo(uint16_t nPort, const std::string& data) {
    EXPECT_TRUE(m_Socket.SendTo("127.0.0.1", nPort, data.data(), data.size()));
  }

  std::vector<std::string> m_Received;

 private:
  cUdpSocket m_Socket;
};

class SocketTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_Socket.OpenSocket("127.0.0.1", 0, &m_Core, &m_Events));
    m_nPort = m_Socket.GetLocalPort();
  }
  void TearDown() override { m_Socket.CloseSocket(); }

  cAsioMainLoop m_Loop;
  cTestCore m_Core;
  cTestEvents m_Events;
  cSocketSIP m_Socket{&m_Loop};
  int32_t m_nPort = 0;
};

TEST_F(SocketTest, DeliversDatagramsInOrderAndIgnoresEmptyOnes) {
  cSysLogCapture log;
  cPeer peer(&m_Loop);
  m_Socket.DiagnosticLog(true);
  EXPECT_TRUE(m_Socket.IsOpen());
  EXPECT_GT(m_nPort, 0);
  const uint16_t nPort = static_cast<uint16_t>(m_nPort);
  peer.SendTo(nPort, "");
  for (const char* pText : {"first", "second", "third"}) peer.SendTo(nPort, pText);
  ASSERT_TRUE(m_Loop.RunUntil([&] { return m_Core.m_Received.size() >= 3; }, kWait));
  EXPECT_EQ(m_Core.m_Received, (std::vector<std::string>{"first", "second", "third"}));
  EXPECT_EQ(log.Lines(),
            (std::vector<std::string>{"\nReceive Packet: first\n\n", "\nReceive Packet: second\n\n",
                                      "\nReceive Packet: third\n\n"}));
  EXPECT_EQ(m_Events.m_nUnexpected, 0);
}

TEST_F(SocketTest, SendsToAddressesAndNamesAndLogsNothingWithoutDiagnostics) {
  cSysLogCapture log;
  cPeer peer(&m_Loop);
  m_Socket.SendData("by address", "127.0.0.1", peer.Port());
  m_Socket.SendData("by name", "localhost", peer.Port());
  ASSERT_TRUE(m_Loop.RunUntil([&] { return peer.m_Received.size() >= 2; }, kWait));
  EXPECT_EQ(peer.m_Received, (std::vector<std::string>{"by address", "by name"}));
  EXPECT_TRUE(m_Events.m_Outgoing.empty());
  EXPECT_TRUE(log.Lines().empty());
}

// A request too long for UDP goes over TCP with its Via changed, once however often its
// transaction resends it; a peer that takes no TCP gets every send over UDP, unchanged.
TEST_F(SocketTest, LongRequestsGoOverTcpOnceOrOverUdpWhenThereIsNoTcp) {
  const std::string sRequest =
      "MESSAGE sip:b@127.0.0.1 SIP/2.0\r\nVia: SIP/2.0/UDP 127.0.0.1;branch=z9hG4bK7\r\nX-Pad: " +
      std::string(1400, 'p') + "\r\nContent-Length: 0\r\n\r\n";
  std::string sMoved = sRequest;
  sMoved.replace(sMoved.find("UDP"), 3, "TCP");
  for (bool bTcp : {true, false}) {
    kyttest::cTcpListener server(bTcp);
    cPeer peer(&m_Loop, server.Port());
    for (int i = 0; i < 3; ++i) {
      m_Socket.SendData(sRequest.c_str(), "127.0.0.1", server.Port());
      m_Loop.RunFor(std::chrono::milliseconds(300));
    }
    const std::string sStream = bTcp && server.Accept() ? server.ReadWaiting() : "";
    EXPECT_TRUE(sStream == (bTcp ? sMoved : "")) << sStream.size() << " bytes came over TCP";
    EXPECT_EQ(bTcp ? 0u : 3u, peer.m_Received.size());
    for (const std::string& sDatagram : peer.m_Received) EXPECT_EQ(sRequest, sDatagram);
  }
}

// Keep-alive over TCP: a server that never answers pings keeps its connection; one that has
// answered, then stays silent through the next ping, has its connection given up as lost.
TEST_F(SocketTest, SilenceAfterPongsLosesTheConnection) {
  struct cLostCore : cTestCore {
    std::string sLost;
    void OnTransportLost(const cKytSTR& host) override { sLost = host.GetDATA(); }
  } core;
  cSocketSIP socket(&m_Loop);
  ASSERT_TRUE(socket.OpenSocket("127.0.0.1", 0, &core, &m_Events));
  kyttest::cTcpListener server;
  const auto Ping = [&] {
    socket.SendData("\r\n\r\n", "127.0.0.1", server.Port(), true, eTransportSIP::TCP);
    m_Loop.RunFor(std::chrono::milliseconds(200));
  };
  Ping();
  ASSERT_TRUE(server.Accept());
  Ping();
  Ping();
  EXPECT_EQ("", core.sLost) << "a server that never answers pings is not judged by them";
  ASSERT_TRUE(server.Write("\r\n"));
  m_Loop.RunFor(std::chrono::milliseconds(200));
  Ping();
  EXPECT_EQ("", core.sLost);
  Ping();
  EXPECT_EQ("127.0.0.1", core.sLost);
  EXPECT_TRUE(server.PeerClosed());
  socket.CloseSocket();
}

// The main loop is busy while a peer floods us: what is beyond the queue's bound is dropped by
// the reader and counted, the rest arrives.
TEST_F(SocketTest, AFloodBeyondTheQueueIsDroppedAndCounted) {
  cPeer peer(&m_Loop);
  for (int i = 0; i < 4000 && m_Socket.GetDroppedCount() == 0; ++i) {
    peer.SendTo(static_cast<uint16_t>(m_nPort), "x");
    if (i % 16 == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(kyttest::PollUntil([&] { return m_Socket.GetDroppedCount() > 0; }, kWait));
  m_Loop.RunFor(std::chrono::milliseconds(200));
  EXPECT_EQ(m_Core.m_Received.size(), cSocketSIP::kMaxQueued);
}

TEST_F(SocketTest, DiagnosticReportsEachSentMessageBeforeItLeaves) {
  cSysLogCapture log;
  cPeer peer(&m_Loop);
  m_Socket.DiagnosticLog(true);
  m_Socket.SendData("OPTIONS sip:b@h SIP/2.0\r\n\r\n", "localhost", peer.Port());
  // A name leaves once looked up, and the report goes with it.
  ASSERT_TRUE(m_Loop.RunUntil([&] { return !peer.m_Received.empty(); }, kWait));
  ASSERT_EQ(m_Events.m_Outgoing.size(), 1u);
  EXPECT_EQ(m_Events.m_Outgoing[0].text, "OPTIONS sip:b@h SIP/2.0\r\n\r\n");
  EXPECT_EQ(m_Events.m_Outgoing[0].address, "localhost");
  EXPECT_EQ(m_Events.m_Outgoing[0].nPort, peer.Port());
  EXPECT_EQ(log.Lines().size(), 1u);

  m_Socket.DiagnosticLog(false);
  m_Socket.SendData("quiet", "127.0.0.1", peer.Port());
  EXPECT_EQ(m_Events.m_Outgoing.size(), 1u);
  EXPECT_EQ(log.Lines().size(), 1u);
  ASSERT_TRUE(m_Loop.RunUntil([&] { return peer.m_Received.size() >= 2; }, kWait));
}

TEST_F(SocketTest, UnreachableDestinationsAreDroppedSilently) {
  cSysLogCapture log;
  cPeer peer(&m_Loop);
  m_Socket.DiagnosticLog(true);
  m_Socket.SendData("unknown name", kUnknownName.c_str(), peer.Port());
  m_Socket.SendData("no name", "", peer.Port());
  m_Socket.SendData("no host", nullptr, peer.Port());
  m_Socket.SendData("port zero", "127.0.0.1", 0);
  m_Socket.SendData("port too big", "127.0.0.1", 70000);
  EXPECT_TRUE(m_Events.m_Outgoing.empty());
  EXPECT_TRUE(log.Lines().empty());
  // Nothing of the above reached the peer before a message sent after it.
  m_Socket.SendData("marker", "127.0.0.1", peer.Port());
  ASSERT_TRUE(m_Loop.RunUntil([&] { return !peer.m_Received.empty(); }, kWait));
  EXPECT_EQ(peer.m_Received.front(), "marker");
}

TEST_F(SocketTest, OpensOnceAndClosesForGood) {
  cSysLogCapture log;
  cPeer peer(&m_Loop);
  // Already open: a second opening is refused and the socket stays as it was.
  EXPECT_FALSE(m_Socket.OpenSocket("127.0.0.1", 0, &m_Core, &m_Events));
  EXPECT_EQ(m_Socket.GetLocalPort(), m_nPort);

  m_Socket.CloseSocket();
  EXPECT_FALSE(m_Socket.IsOpen());
  EXPECT_EQ(m_Socket.GetLocalPort(), 0);
  m_Socket.SendData("after close", "127.0.0.1", peer.Port());
  m_Socket.CloseSocket();
  EXPECT_TRUE(log.Lines().empty());

  cSocketSIP other(&m_Loop);
  ASSERT_TRUE(other.OpenSocket(nullptr, 0, &m_Core, &m_Events));
  other.SendData("marker", "127.0.0.1", peer.Port());
  ASSERT_TRUE(m_Loop.RunUntil([&] { return !peer.m_Received.empty(); }, kWait));
  EXPECT_EQ(peer.m_Received.front(), "marker");
}

TEST_F(SocketTest, BindFailuresLeaveTheSocketClosed) {
  cPeer peer(&m_Loop);
  cSocketSIP taken(&m_Loop);
  EXPECT_FALSE(taken.OpenSocket("127.0.0.1", peer.Port(), &m_Core, &m_Events));
  EXPECT_FALSE(taken.IsOpen());
  // An address that is not this machine's.
  EXPECT_FALSE(taken.OpenSocket("203.0.113.1", 0, &m_Core, &m_Events));
  EXPECT_FALSE(taken.OpenSocket("127.0.0.1", 70000, &m_Core, &m_Events));
  EXPECT_FALSE(taken.OpenSocket("127.0.0.1", -1, &m_Core, &m_Events));
  EXPECT_FALSE(taken.IsOpen());

  EXPECT_FALSE(cSocketSIP::IsPortAvailable("127.0.0.1", peer.Port()));
  EXPECT_FALSE(cSocketSIP::IsPortAvailable("203.0.113.1", 0));
  EXPECT_FALSE(cSocketSIP::IsPortAvailable("", 70000));
  EXPECT_TRUE(cSocketSIP::IsPortAvailable("127.0.0.1", 0));
  EXPECT_TRUE(cSocketSIP::IsPortAvailable("", 0));
}

TEST(ListenPortTest, CandidatesLieInTheirRange) {
  for (int i = 0; i < 2000; ++i) {
    int32_t nPort = cGenListenPortSIP::GenRandomPort();
    ASSERT_GE(nPort, 2000);
    ASSERT_LE(nPort, 4499);
  }
}

TEST(ListenPortTest, FindsAFreePortAndKeepsIt) {
  cGenListenPortSIP chooser;
  int32_t nPort = chooser.GenListenPort(true, "127.0.0.1");
  ASSERT_GE(nPort, 2000);
  ASSERT_LE(nPort, 4499);
  // The port found is the next search's first candidate.
  EXPECT_EQ(chooser.GenListenPort(true, "127.0.0.1"), nPort);

  // Once it is taken, the search moves on.
  cAsioMainLoop loop;
  cTestCore core;
  cTestEvents events;
  cSocketSIP holder(&loop);
  ASSERT_TRUE(holder.OpenSocket("127.0.0.1", nPort, &core, &events));
  int32_t nOther = chooser.GenListenPort(true, "127.0.0.1");
  EXPECT_NE(nOther, nPort);
  EXPECT_GE(nOther, 2000);
  EXPECT_LE(nOther, 4499);
  EXPECT_GE(chooser.GenListenPort(false, "ignored"), 2000);
}

TEST(ListenPortTest, ExhaustedSearchAnswersMinusOne) {
  cGenListenPortSIP chooser;
  EXPECT_EQ(chooser.GenListenPort(true, "203.0.113.1"), -1);
  chooser.ResetOBJ();
  EXPECT_GE(chooser.GenListenPort(false, ""), 2000);
}

std::string ChosenIP(std::vector<std::string> addresses, const char* pStart = "unchanged") {
  cKytSTR result = pStart;
  cMyIP(std::move(addresses)).GetMyIP(result);
  return result.GetDATA();
}

TEST(MyIPTest, ChoosesByClassInListOrder) {
  EXPECT_EQ(ChosenIP({"127.0.0.1", "10.0.0.5", "192.168.1.9"}), "10.0.0.5");
  EXPECT_EQ(ChosenIP({"127.0.0.1", "192.168.1.9", "8.8.4.4"}), "8.8.4.4");
  EXPECT_EQ(ChosenIP({"169.254.3.3", "172.200.1.1"}), "172.200.1.1");
  EXPECT_EQ(ChosenIP({"127.0.0.1", "169.254.3.3", "169.254.4.4"}), "169.254.3.3");
  EXPECT_EQ(ChosenIP({"127.0.0.1"}), "unchanged");
  EXPECT_EQ(ChosenIP({}), "127.0.0.1");
}

TEST(MyIPTest, ClassesByFirstOctetText) {
  EXPECT_TRUE(cMyIP::IsLANIP("172.200.1.1"));
  EXPECT_TRUE(cMyIP::IsLANIP("192.0.2.1"));
  EXPECT_TRUE(cMyIP::IsLANIP("10.1.1.1"));
  EXPECT_FALSE(cMyIP::IsLANIP("100.64.0.1"));
  EXPECT_TRUE(cMyIP::IsPublicIP("11.1.1.1"));
  EXPECT_TRUE(cMyIP::IsPublicIP("100.64.0.1"));
  for (const char* pIp : {"192.168.0.1", "172.16.0.1", "127.0.0.1", "169.254.0.1", "10.0.0.1"}) {
    EXPECT_FALSE(cMyIP::IsPublicIP(pIp)) << pIp;
  }
  EXPECT_TRUE(cMyIP::Is169IP("169.254.1.1"));
  EXPECT_FALSE(cMyIP::Is169IP("16.9.1.1"));
}

TEST(MyIPTest, ListsTheMachinesAddressesAfterWhatTheListHeld) {
  cKytListSTR list;
  list.AddTailSTR("kept");
  cMyIP().GetMyIPList(list);
  cKytSTR first;
  list.GetHead(first);
  EXPECT_STREQ(first.GetDATA(), "kept");
  EXPECT_TRUE(list.Find("127.0.0.1"));

  cKytListSTR given;
  cMyIP({"10.0.0.5", "8.8.4.4"}).GetMyIPList(given);
  EXPECT_EQ(given.GetCount(), 2);
  cKytSTR second;
  given.GetAt(1, second);
  EXPECT_STREQ(second.GetDATA(), "8.8.4.4");
}

}  // namespace
