#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <string>
#include <vector>

#include "RegTestSupport.h"
#include "platform/cAsioMainLoop.h"
#include "sip/cRegSIP.h"
#include "tests/support/cSippPeer.h"

using namespace std::chrono_literals;

// Registration, refresh and unregistration against SIPp playing a registrar that challenges
// every request and checks the credentials with its own digest code.
TEST(RegSippTest, DigestRegistrationRefreshAndUnregistration) {
  kyttest::cSippPeer registrar;
  ASSERT_TRUE(
      registrar.Start(std::string(KYT_TEST_SUPPORT_DATA) + "/reg_sipp_digest_uas.xml", "", 60s))
      << "sipp (Debian package sip-tester) did not start\n"
      << registrar.Output();
  const uint16_t nPort = registrar.Port();

  cAsioMainLoop loop;

  regtest::cUdpCore core(&loop, nPort);
  regtest::cEventLog events;
  cRegSIP reg;
  core.m_pRegSIP = &reg;
  std::string proxy = "sip:127.0.0.1:" + std::to_string(nPort);
  ASSERT_TRUE(reg.InitOBJ(&core, &events, "127.0.0.1", core.GetListenPort(),
                          "\"Alice\" <sip:alice@127.0.0.1>", "", proxy.c_str()));

  ASSERT_TRUE(reg.RegisterToProxy(3600, "alice", "s3cret"));
  ASSERT_TRUE(loop.RunUntil([&] { return !reg.IsPending(); }, 10s)) << registrar.Output();
  EXPECT_EQ(events.m_Events, (std::vector<std::string>{"Success"}));
  EXPECT_EQ(reg.GetSecondsToTrigger(cRegTick::kSlotReREG), 57);

  // The refresh is due 57 ticks later.
  for (int i = 0; i < 57; ++i) reg.OnMainTick();
  ASSERT_TRUE(reg.IsPending());
  ASSERT_TRUE(loop.RunUntil([&] { return !reg.IsPending(); }, 10s));
  EXPECT_EQ(events.m_Events, (std::vector<std::string>{"Success", "SuccessRe"}));

  ASSERT_TRUE(reg.UnRegisterToProxy());
  ASSERT_TRUE(loop.RunUntil([&] { return !reg.IsPending(); }, 10s));
  EXPECT_EQ(events.m_Events, (std::vector<std::string>{"Success", "SuccessRe", "SuccessUn"}));
  EXPECT_FALSE(reg.IsRegister());

  EXPECT_EQ(registrar.Wait(20s), 0) << registrar.Output();
  // Six requests: each of the three challenged once; the keep-alives between them aside.
  EXPECT_EQ(std::count_if(core.m_Sent.begin(), core.m_Sent.end(),
                          [](const auto& sent) { return sent.text != "\r\n\r\n"; }),
            6);
}
