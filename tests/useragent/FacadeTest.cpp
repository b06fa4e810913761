// The facade's own answers: fixed values, the DTMF digit check, texts handed to the plug-in.

#include <gtest/gtest.h>

#include "platform/cAsioMainLoop.h"
#include "tests/support/cLoopbackPort.h"
#include "tests/support/cRecordingLib.h"
#include "useragent/cKytSIPUserAgentObject.h"

using kyttest::cRecordingLib;

namespace {

class Facade : public ::testing::Test {
 protected:
  cAsioMainLoop m_Loop;
  cRecordingLib m_UA{&m_Loop};
};

TEST_F(Facade, FixedAnswersNeedNoSession) {
  EXPECT_STREQ("7.0.7.3", m_UA.GetVersionFile());
  EXPECT_STREQ("3.0", m_UA.GetVersionSDK());
  EXPECT_EQ(1, m_UA.GetAudioInDevTotal());
  EXPECT_EQ(1, m_UA.GetAudioOutDevTotal());
  EXPECT_EQ(-1, m_UA.GetAudioInDevId(0));
  EXPECT_EQ(-1, m_UA.GetAudioOutDevId(3));
  EXPECT_STREQ("Default", m_UA.GetAudioInDevName(0));
  EXPECT_STREQ("", m_UA.GetAudioInDevName(1));
  EXPECT_STREQ("Default", m_UA.GetAudioOutDevName(0));
  EXPECT_STREQ("", m_UA.GetAudioOutDevName(-1));
  EXPECT_EQ(nullptr, m_UA.GetStartMyIP());
  EXPECT_STREQ("", m_UA.GetNextMyIP());
  EXPECT_TRUE(m_UA.EchoCancellation(false));
  EXPECT_FALSE(m_UA.EnableForceInbandDTMF(0));
  EXPECT_FALSE(m_UA.DisableForceRfc2833DTMF(0));
  EXPECT_FALSE(m_UA.EnableEchoNoiseCancellation());
  EXPECT_FALSE(m_UA.SetUserAgentSIP("Other/1.0"));
  EXPECT_STREQ("", m_UA.GetUserAgentSIP());
  EXPECT_FALSE(m_UA.SetSubjectSDP("x"));
  EXPECT_STREQ("", m_UA.GetSubjectSDP());
  EXPECT_FALSE(m_UA.SetLineSpkVol(0, 1));
  EXPECT_EQ(0, m_UA.GetLineSpkVol(0));
  EXPECT_FALSE(m_UA.AddCustomHeader(0, 0, "X-A", "b"));
  EXPECT_FALSE(m_UA.ActivateQosRTP(1, 2));
  EXPECT_EQ(0, m_UA.GetCountPacketLost(0));
  EXPECT_EQ(0, m_UA.GetSizeJitterBuffer(0));
  EXPECT_FALSE(m_UA.ChangeMEDIA(1, 2, 3));
  EXPECT_FALSE(m_UA.ConnectCall(0, "a", "b", 0, 0));
  EXPECT_EQ(0, m_UA.GetMicVolume());
  EXPECT_FALSE(m_UA.SetSpkVolume(5));
  EXPECT_EQ(0, m_UA.GetKytObjectError());
}

TEST_F(Facade, GetMyIPAnswersATextWithoutASession) {
  const char* pIP = m_UA.GetMyIP();
  ASSERT_NE(nullptr, pIP);
  EXPECT_EQ(0, m_UA.GetKytObjectError());
}

TEST_F(Facade, DigitDTMFRefusesAnythingButOneKeypadCharacter) {
  EXPECT_FALSE(m_UA.RegisterToProxy(60));
  ASSERT_EQ(10, m_UA.GetKytObjectError());
  ASSERT_TRUE(m_UA.Initialize(true, "127.0.0.1", 0, "sip:alice@127.0.0.1", "", "sip:127.0.0.1:5999",
                              "", "", true, 1));
  ASSERT_TRUE(m_UA.OpenLine(0, true, "127.0.0.1", kyttest::cLoopbackPort::FreeUdp(2)));
  for (const char* pBad : {"", "12", "A", "d", " ", "#1"}) {
    EXPECT_FALSE(m_UA.DigitDTMF(0, pBad)) << pBad;
  }
  EXPECT_FALSE(m_UA.DigitDTMF(0, nullptr));
  EXPECT_EQ(0, m_UA.GetKytObjectError()) << "a refused digit sets no code";
  for (const char* pGood : {"0", "9", "*", "#"}) {
    EXPECT_TRUE(m_UA.DigitDTMF(0, pGood)) << pGood;
  }
  EXPECT_FALSE(m_UA.DigitDTMF(1, "1"));
  EXPECT_EQ(29, m_UA.GetKytObjectError());
}

TEST_F(Facade, CodecSelectionReportsUnknownCodecs) {
  EXPECT_TRUE(m_UA.SelectVoiceCodec(2));
  EXPECT_TRUE(m_UA.DeselectVoiceCodec(0));
  EXPECT_FALSE(m_UA.SelectVoiceCodec(4));
  EXPECT_EQ(23, m_UA.GetKytObjectError());
  EXPECT_FALSE(m_UA.DeselectVoiceCodec(-1));
  EXPECT_EQ(23, m_UA.GetKytObjectError());
}

TEST_F(Facade, ACodecChoiceFollowsTheRemoteOrderAmongTheSelected) {
  cKytSIPUserAgentObject* pCore = m_UA.GetKytMainObj();
  m_UA.DeselectAllVoiceCodec();
  ASSERT_TRUE(m_UA.SelectVoiceCodec(1));
  ASSERT_TRUE(m_UA.SelectVoiceCodec(2));
  cKytListSTR codecs, payloads;
  for (const char* p : {"0", "2", "1"}) codecs.AddTailSTR(p);
  for (const char* p : {"0", "3", "8"}) payloads.AddTailSTR(p);
  int32_t nCodec = -1, nPayload = -1;
  ASSERT_TRUE(pCore->ChoosePriorityCodec(codecs, payloads, nCodec, nPayload));
  EXPECT_EQ(2, nCodec);
  EXPECT_EQ(3, nPayload);
  m_UA.DeselectAllVoiceCodec();
  EXPECT_FALSE(pCore->ChoosePriorityCodec(codecs, payloads, nCodec, nPayload));
}

}  // namespace
