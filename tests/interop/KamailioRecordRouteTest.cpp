// Calls between our agent and baresip, both registered with a Kamailio that record-routes every
// dialog-creating request and refuses a request inside a dialog that comes without its Route:
// each side dials, each side holds and resumes, and each side hangs up, and the far end must
// see every step.

#include <gtest/gtest.h>

#include <filesystem>
#include <ostream>
#include <string>

#include "cBaresipTestBase.h"
#include "cKamailioProxy.h"

namespace {

struct sRouteCase {
  bool bWeDial;
  bool bWeHangUp;
  const char* pName;
};

void PrintTo(const sRouteCase& c, std::ostream* pOut) { *pOut << c.pName; }

std::string CaseName(const ::testing::TestParamInfo<sRouteCase>& info) { return info.param.pName; }

size_t CountOf(const std::string& sText, const std::string& sWhat) {
  size_t nCount = 0;
  for (size_t at = sText.find(sWhat); at != std::string::npos; at = sText.find(sWhat, at + 1)) {
    ++nCount;
  }
  return nCount;
}

class KamailioRecordRoute : public cBaresipTestBase,
                            public ::testing::WithParamInterface<sRouteCase> {
 protected:
  void SetUp() override {
    std::filesystem::create_directory(m_Dir.File("kamailio"));
    ASSERT_TRUE(m_Proxy.Start()) << m_Proxy.Failure();
    StartBoth("pcmu", {0}, "auto", m_Proxy.HostPort());
  }

  void TearDown() override {
    cBaresipTestBase::TearDown();
    if (HasFailure()) std::cout << "--- kamailio ---\n" << m_Proxy.Log() << std::endl;
  }

  // One re-INVITE of ours, answered by baresip and acknowledged through the proxy.
  void WeHoldAndResume() {
    const size_t nAcks = CountOf(m_Proxy.Log(), "ACK sip:bob");
    const size_t nHolds = m_Agent.Count("OnSuccessToHold 0");
    const size_t nResumes = m_Agent.Count("OnSuccessToUnHold 0");
    ASSERT_TRUE(m_Agent.HoldLine(0)) << m_Agent.GetKytObjectError();
    ASSERT_TRUE(WaitFor([&] { return m_Agent.Count("OnSuccessToHold 0") > nHolds; }));
    ASSERT_TRUE(m_Agent.UnHoldLine(0)) << m_Agent.GetKytObjectError();
    ASSERT_TRUE(WaitFor([&] { return m_Agent.Count("OnSuccessToUnHold 0") > nResumes; }));
    EXPECT_TRUE(WaitFor([&] { return CountOf(m_Proxy.Log(), "ACK sip:bob") >= nAcks + 2; }))
        << "baresip gets the ACK of each re-INVITE";
  }

  // baresip's hold and resume, each answered by us and acknowledged by baresip.
  void PeerHoldsAndResumes() {
    const std::string sBefore = m_Agent.LastSent("SIP/2.0 200");
    ASSERT_TRUE(m_pPeer->Command("hold"));
    ASSERT_TRUE(WaitFor([&] { return m_Agent.LastSent("SIP/2.0 200") != sBefore; }));
    const std::string sHold = m_Agent.LastSent("SIP/2.0 200");
    EXPECT_NE(std::string::npos, sHold.find("a=recvonly")) << sHold;
    ASSERT_TRUE(m_pPeer->Command("resume"));
    ASSERT_TRUE(WaitFor([&] { return m_Agent.LastSent("SIP/2.0 200") != sHold; }));
    EXPECT_NE(std::string::npos, m_Agent.LastSent("SIP/2.0 200").find("a=sendrecv"));
  }

  cKamailioProxy m_Proxy{m_Dir.File("kamailio")};
};

TEST_P(KamailioRecordRoute, CallHoldResumeAndHangUpThroughTheProxy) {
  const sRouteCase& c = GetParam();
  if (c.bWeDial) {
    ASSERT_TRUE(m_Agent.Connect(0, m_pPeer->Uri().c_str(), 0, 0)) << m_Agent.GetKytObjectError();
  } else {
    m_Agent.m_nAnswerLine = 0;
    ASSERT_TRUE(PeerDialsUs());
  }
  ASSERT_TRUE(WaitFor([&] { return BothConnected(); }));
  EXPECT_NE(std::string::npos, m_Agent.LastSent(c.bWeDial ? "ACK " : "SIP/2.0 200")
                                   .find("Route: <sip:" + m_Proxy.HostPort()))
      << "the proxy stays in the dialog";

  ASSERT_NO_FATAL_FAILURE(WeHoldAndResume());
  ASSERT_NO_FATAL_FAILURE(PeerHoldsAndResumes());
  ASSERT_NO_FATAL_FAILURE(WeHoldAndResume());

  if (c.bWeHangUp) {
    ASSERT_TRUE(m_Agent.Disconnect(0)) << m_Agent.GetKytObjectError();
    ASSERT_TRUE(WaitFor([&] { return m_pPeer->HeardEvent("CALL_CLOSED"); }))
        << "our BYE reaches baresip";
    EXPECT_FALSE(m_Agent.Heard("OnDisconnectCall"));
  } else {
    ASSERT_TRUE(m_pPeer->Command("hangup"));
    ASSERT_TRUE(WaitFor([&] { return m_Agent.Heard("OnDisconnectCall 0"); }))
        << "baresip's BYE reaches us";
  }
  EXPECT_FALSE(m_Agent.IsLineBusy(0));
  EXPECT_EQ(0u, m_Agent.Count("OnFail"));
  EXPECT_EQ(std::string::npos, m_Proxy.Log().find("without Route refused")) << m_Proxy.Log();
}

INSTANTIATE_TEST_SUITE_P(EachSide, KamailioRecordRoute,
                         ::testing::Values(sRouteCase{true, true, "WeDialWeHangUp"},
                                           sRouteCase{true, false, "WeDialBaresipHangsUp"},
                                           sRouteCase{false, true, "BaresipDialsWeHangUp"},
                                           sRouteCase{false, false, "BaresipDialsAndHangsUp"}),
                         CaseName);

}  // namespace
