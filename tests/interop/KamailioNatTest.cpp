// A call each way between our agent and baresip through Kamailio run as providers run it
// (nothing for NAT beyond answering to a Via's rport), with our agent behind a masquerading
// home router built from network namespaces, and the same without the router. Behind it, our
// agent must register at its public address and put it into its session descriptions, so that
// the voice gets through both ways.

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "cBaresipTestBase.h"
#include "cKamailioProxy.h"
#include "cNatNetwork.h"

namespace {

struct sNatCase {
  bool bNat;
  bool bWeDial;
  const char* pName;
};

void PrintTo(const sNatCase& c, std::ostream* pOut) { *pOut << c.pName; }

std::string CaseName(const ::testing::TestParamInfo<sNatCase>& info) { return info.param.pName; }

// The router comes first, so that every socket and thread of the agent is made inside.
class KamailioNat : public cNatNetwork,
                    public cBaresipTestBase,
                    public ::testing::WithParamInterface<sNatCase> {
 protected:
  KamailioNat() : cNatNetwork(GetParam().bNat) {}

  void SetUp() override {
    if (GetParam().bNat) {
      if (IsUnavailable()) GTEST_SKIP() << Failure();
      ASSERT_TRUE(IsBuilt()) << Failure();
      const cPeerNetwork outside{kOutsideIP, OutsideLauncher(),
                                 [this](uint16_t nPort) { return IsUdpTakenOutside(nPort); }};
      m_Proxy.SetNetwork(outside);
      m_PeerNetwork = outside;
      m_sOurIP = "";
    }
    std::filesystem::create_directory(m_Dir.File("kamailio"));
    ASSERT_TRUE(m_Proxy.Start()) << m_Proxy.Failure();
    StartBoth("pcmu", {0}, "auto", m_Proxy.HostPort());
  }

  void TearDown() override {
    cBaresipTestBase::TearDown();
    if (HasFailure()) std::cout << "--- kamailio ---\n" << m_Proxy.Log() << std::endl;
  }

  cKamailioProxy m_Proxy{m_Dir.File("kamailio")};
};

TEST_P(KamailioNat, RegisterAndCallWithVoiceBothWays) {
  const std::string sOurIP = GetParam().bNat ? kPublicIP : "127.0.0.1";
  const std::string sRegister = m_Agent.LastSent("REGISTER ");
  EXPECT_NE(std::string::npos, sRegister.find("Contact: <sip:alice@" + sOurIP)) << sRegister;
  EXPECT_NE(std::string::npos, sRegister.find("Via: SIP/2.0/UDP " + sOurIP)) << sRegister;
  if (GetParam().bNat) {
    const std::string sStale = "@" + std::string(kInsideIP) + ":" + std::to_string(m_nOurPort);
    EXPECT_NE(std::string::npos, sRegister.find(sStale + ">;expires=0"))
        << "the binding of the private address is removed: " << sRegister;
  }
  EXPECT_EQ(1u, m_Agent.Count("OnSuccessToRegister"));

  if (GetParam().bWeDial) {
    ASSERT_TRUE(m_Agent.Connect(0, m_pPeer->Uri().c_str(), 0, 0)) << m_Agent.GetKytObjectError();
  } else {
    m_Agent.m_nAnswerLine = 0;
    ASSERT_TRUE(PeerDialsUs());
  }
  ASSERT_TRUE(WaitFor([&] { return BothConnected(); }));
  const std::string sOffer = m_Agent.LastSent(GetParam().bWeDial ? "INVITE " : "SIP/2.0 200");
  EXPECT_NE(std::string::npos, sOffer.find("c=IN IP4 " + sOurIP)) << sOffer;

  m_Loop.RunFor(kTalkTime);
  ASSERT_TRUE(m_Agent.Disconnect(0)) << m_Agent.GetKytObjectError();
  ASSERT_TRUE(WaitFor([&] { return m_pPeer->HeardEvent("CALL_CLOSED"); }));
  EXPECT_EQ(0u, m_Agent.Count("OnFail"));
  ASSERT_TRUE(StopPeer()) << "baresip did not quit";
  ExpectHeardTone(OurSpeaker(), kPeerTone, "our speaker");
  ExpectHeardTone(PeerHeard(), kOurTone, "baresip");
}

INSTANTIATE_TEST_SUITE_P(Router, KamailioNat,
                         ::testing::Values(sNatCase{true, true, "BehindNatWeDial"},
                                           sNatCase{true, false, "BehindNatBaresipDials"},
                                           sNatCase{false, true, "NoNatWeDial"},
                                           sNatCase{false, false, "NoNatBaresipDials"}),
                         CaseName);

}  // namespace
