#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "RegTestSupport.h"
#include "platform/cAsioMainLoop.h"
#include "sip/cRegSIP.h"
#include "tests/support/TextFile.h"
#include "tests/support/Wait.h"
#include "tests/support/cChildProcess.h"
#include "tests/support/cLoopbackPort.h"
#include "tests/support/cTempDir.h"

using namespace std::chrono_literals;

namespace {

// Kamailio as the registrar: digest credentials from a db_text subscriber table (alice,
// password s3cret, realm 127.0.0.1), locations in memory, read back through kamcmd.
class KamailioRegTest : public ::testing::Test {
 protected:
  void SetUp() override {
    m_Kamailio = kyttest::cChildProcess::FindProgram("kamailio");
    m_Kamcmd = kyttest::cChildProcess::FindProgram("kamcmd");
    ASSERT_FALSE(m_Kamailio.empty()) << "kamailio is not installed (Debian package kamailio)";
    ASSERT_FALSE(m_Kamcmd.empty()) << "kamcmd is not installed (Debian package kamailio)";
    ASSERT_FALSE(m_Dir.Path().empty());

    std::string db = m_Dir.Path() + "/db";
    ASSERT_EQ(mkdir(db.c_str(), 0700), 0);
    kyttest::WriteText(db + "/version",
                       "id(int,auto) table_name(string) table_version(int) \n"
                       "0:version:1\n"
                       "0:subscriber:7\n");
    kyttest::WriteText(db + "/subscriber",
                       "id(int,auto) username(string) domain(string) password(string) "
                       "ha1(string,null) ha1b(string,null) \n"
                       "1:alice:127.0.0.1:s3cret::\n");
    m_CtlSocket = "unix:" + m_Dir.Path() + "/ctl.sock";

    m_nPort = kyttest::cLoopbackPort::FreeUdp();
    m_Log = m_Dir.Path() + "/kamailio.log";
    ASSERT_TRUE(m_Registrar.Start(
        {m_Kamailio, "-f", std::string(KYT_SIP_TEST_DATA) + "/kamailio_registrar.cfg", "-DD", "-E",
         "-n", "1", "-l", "udp:127.0.0.1:" + std::to_string(m_nPort), "-w", m_Dir.Path(), "-Y",
         m_Dir.Path(), "-A", "DBURL=\"text://" + db + "\"", "-A",
         "CTLSOCK=\"" + m_CtlSocket + "\""},
        m_Log));
    ASSERT_TRUE(kyttest::PollUntil(
        [&] {
          return m_Registrar.Done() || (kyttest::cLoopbackPort::IsUdpTaken(m_nPort) &&
                                        access((m_Dir.Path() + "/ctl.sock").c_str(), F_OK) == 0);
        },
        20s));
    ASSERT_FALSE(m_Registrar.Done()) << kyttest::ReadText(m_Log);

    m_pCore = std::make_unique<regtest::cUdpCore>(&m_Loop, m_nPort);
    m_pCore->m_pRegSIP = &m_Reg;
    std::string proxy = "sip:127.0.0.1:" + std::to_string(m_nPort);
    ASSERT_TRUE(m_Reg.InitOBJ(m_pCore.get(), &m_Events, "127.0.0.1", m_pCore->GetListenPort(),
                              "\"Alice\" <sip:alice@127.0.0.1>", "", proxy.c_str()));
  }

  void TearDown() override {
    m_Reg.UnInitOBJ();
    m_pCore.reset();
    m_Registrar.Kill();
  }

  // The registrar's location table as kamcmd prints it.
  std::string DumpLocations() {
    kyttest::cChildProcess kamcmd;
    std::string out = m_Dir.Path() + "/ul.dump";
    if (!kamcmd.Start({m_Kamcmd, "-s", m_CtlSocket, "ul.dump"}, out)) return "kamcmd failed";
    if (kamcmd.Wait(10s) != 0) return "kamcmd failed: " + kyttest::ReadText(out);
    return kyttest::ReadText(out);
  }

  // The location table, which must be readable.
  std::string Locations() {
    std::string dump = DumpLocations();
    EXPECT_NE(dump.find("Domain: location"), std::string::npos) << dump;
    return dump;
  }

  // The value of a field of the first contact in a dump ("" when absent).
  static std::string Field(const std::string& dump, const std::string& name) {
    size_t nPos = dump.find(name + ": ");
    if (nPos == std::string::npos) return "";
    nPos += name.size() + 2;
    return dump.substr(nPos, dump.find('\n', nPos) - nPos);
  }

  std::string OwnContact() const {
    return "sip:alice@127.0.0.1:" + std::to_string(m_pCore->GetListenPort());
  }

  bool Settle() {
    return m_Loop.RunUntil([&] { return !m_Reg.IsPending(); }, 10s);
  }

  kyttest::cTempDir m_Dir{"kyt-reg-"};
  std::string m_Kamailio, m_Kamcmd, m_CtlSocket, m_Log;
  uint16_t m_nPort = 0;
  kyttest::cChildProcess m_Registrar;
  cAsioMainLoop m_Loop;
  std::unique_ptr<regtest::cUdpCore> m_pCore;
  regtest::cEventLog m_Events;
  cRegSIP m_Reg;
};

}  // namespace

TEST_F(KamailioRegTest, RegistersRefreshesAndUnregisters) {
  ASSERT_TRUE(m_Reg.RegisterToProxy(5, "alice", "s3cret"));
  ASSERT_TRUE(Settle()) << kyttest::ReadText(m_Log);
  ASSERT_EQ(m_Events.m_Events, (std::vector<std::string>{"Success"})) << kyttest::ReadText(m_Log);
  // Challenged once, answered once.
  EXPECT_EQ(m_pCore->m_Sent.size(), 2u);
  std::string locations = Locations();
  EXPECT_EQ(Field(locations, "Address"), OwnContact()) << locations;
  std::string callId = Field(locations, "Call-ID");
  EXPECT_EQ(Field(locations, "Expires"), "5");
  EXPECT_EQ(Field(locations, "CSeq"), "2");

  // Five seconds granted: the refresh is due after two ticks.
  EXPECT_EQ(m_Reg.GetSecondsToTrigger(cRegTick::kSlotReREG), 2);
  m_Reg.OnMainTick();
  EXPECT_FALSE(m_Reg.IsPending());
  m_Reg.OnMainTick();
  ASSERT_TRUE(m_Reg.IsPending());
  ASSERT_TRUE(Settle());
  EXPECT_EQ(m_Events.m_Events, (std::vector<std::string>{"Success", "SuccessRe"}));
  EXPECT_EQ(m_pCore->m_Sent.size(), 4u);
  // The registrar sees the same registration refreshed: same Call-ID, later CSeq.
  locations = Locations();
  EXPECT_EQ(Field(locations, "Address"), OwnContact()) << locations;
  EXPECT_EQ(Field(locations, "Call-ID"), callId);
  EXPECT_EQ(Field(locations, "CSeq"), "4");

  ASSERT_TRUE(m_Reg.UnRegisterToProxy());
  ASSERT_TRUE(Settle());
  EXPECT_EQ(m_Events.m_Events, (std::vector<std::string>{"Success", "SuccessRe", "SuccessUn"}));
  EXPECT_FALSE(m_Reg.IsRegister());
  locations = Locations();
  EXPECT_EQ(locations.find(OwnContact()), std::string::npos) << locations;
}

TEST_F(KamailioRegTest, WrongPasswordFailsAfterTheAllowedAnswers) {
  ASSERT_TRUE(m_Reg.RegisterToProxy(60, "alice", "not-the-password"));
  ASSERT_TRUE(Settle()) << kyttest::ReadText(m_Log);
  ASSERT_EQ(m_Events.m_Events.size(), 1u);
  const std::string& event = m_Events.m_Events[0];
  EXPECT_TRUE(event.rfind("Fail 401 ", 0) == 0 || event.rfind("Fail 403 ", 0) == 0) << event;
  // The first request and four answered challenges.
  EXPECT_EQ(m_pCore->m_Sent.size(), 5u);
  EXPECT_FALSE(m_Reg.IsRegister());
  std::string locations = Locations();
  EXPECT_EQ(locations.find(OwnContact()), std::string::npos) << locations;
}
