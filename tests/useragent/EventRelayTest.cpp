// The event relay as the page would see it: what reaches the facade, in which order, and the
// media side effects that come first.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/cAsioMainLoop.h"
#include "tests/support/cLoopbackPort.h"
#include "tests/support/cRecordingLib.h"
#include "useragent/cKytEventObj.h"
#include "useragent/cKytSIPUserAgentObject.h"

using kyttest::cRecordingLib;

namespace {

class EventRelay : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_UA.Initialize(true, "127.0.0.1", 0, "sip:alice@127.0.0.1", "",
                                "sip:127.0.0.1:5999", "alice", "pw", true, 2));
    ASSERT_TRUE(m_UA.OpenLine(0, true, "127.0.0.1", kyttest::cLoopbackPort::FreeUdp(2)));
  }
  cKytEventObj& Relay() { return *m_UA.GetKytMainObj()->GetEventObj(); }

  cAsioMainLoop m_Loop;
  cRecordingLib m_UA{&m_Loop};
};

TEST_F(EventRelay, RegistrationFailureIsHeardTwicePlainThenWithCodeAndReason) {
  Relay().OnFailToRegister(403, "Forbidden");
  Relay().OnFailToReRegister(408, "Request Timeout");
  Relay().OnFailToUnRegister(500, "Server Internal Error");
  EXPECT_EQ(
      (std::vector<std::string>{"OnFailToRegister", "OnFailToRegisterEx 403 Forbidden",
                                "OnFailToReRegister", "OnFailToReRegisterEx 408 Request Timeout",
                                "OnFailToUnRegister 500 Server Internal Error"}),
      m_UA.m_Events);
}

TEST_F(EventRelay, RegistrationProgressIsPassedOn) {
  Relay().OnTryingToRegister();
  Relay().OnSuccessToRegister();
  Relay().OnTryingToReRegister();
  Relay().OnSuccessToReRegister();
  Relay().OnTryingToUnRegister();
  Relay().OnSuccessToUnRegister();
  EXPECT_EQ((std::vector<std::string>{"OnTryingToRegister", "OnSuccessToRegister",
                                      "OnTryingToReRegister", "OnSuccessToReRegister",
                                      "OnTryingToUnRegister", "OnSuccessToUnRegister"}),
            m_UA.m_Events);
}

TEST_F(EventRelay, LineEventsOfACallOnNoLineAreDropped) {
  Relay().OnConnecting(-1);
  Relay().OnTryingToHold(-1);
  Relay().OnSuccessToHold(-1);
  Relay().OnFailToHold(-1);
  Relay().OnTryingToUnHold(-1);
  Relay().OnSuccessToUnHold(-1);
  Relay().OnFailToUnHold(-1);
  Relay().OnFailToConnect(-1);
  Relay().OnDisconnectCall(-1);
  Relay().OnConnected(-1, "127.0.0.1", 4000, "c@h");
  Relay().OnProvisionalResponse(-1, 180, "Ringing");
  Relay().OnRequestFailureResponse(-1, 486, "Busy Here");
  Relay().OnServerFailureResponse(-1, 503, "Service Unavailable");
  Relay().OnGeneralFailureResponse(-1, 603, "Decline");
  Relay().OnRedirectResponse(-1, 302, "Moved Temporarily", "<sip:x@y>");
  Relay().OnCallTransferAccepted(-1);
  Relay().OnFailToTransfer(-1, 503, "Service Unavailable");
  EXPECT_TRUE(m_UA.m_Events.empty());
}

TEST_F(EventRelay, HoldSuccessOnNoLineLeavesMediaAlone) {
  ASSERT_FALSE(m_UA.IsLineHold(0));
  Relay().OnSuccessToHold(-1);
  EXPECT_FALSE(m_UA.IsLineHold(0));
  EXPECT_TRUE(m_UA.m_Events.empty());
}

TEST_F(EventRelay, HoldAndResumeOfABoundLineSwitchTheMediaFirst) {
  std::vector<bool> holdSeen;
  m_UA.m_OnEvent = [&](const std::string&) { holdSeen.push_back(m_UA.IsLineHold(0)); };
  Relay().OnSuccessToHold(0);
  Relay().OnTryingToUnHold(0);
  Relay().OnSuccessToHold(0);
  Relay().OnSuccessToUnHold(0);
  EXPECT_EQ((std::vector<bool>{true, false, true, false}), holdSeen);
  EXPECT_EQ((std::vector<std::string>{"OnSuccessToHold 0", "OnTryingToUnHold 0",
                                      "OnSuccessToHold 0", "OnSuccessToUnHold 0"}),
            m_UA.m_Events);
}

TEST_F(EventRelay, CallProgressKeepsLineCodeAndReason) {
  Relay().OnConnecting(0);
  Relay().OnProvisionalResponse(0, 183, "Session Progress");
  Relay().OnConnected(1, "127.0.0.1", 40000, "abc@127.0.0.1");
  Relay().OnCallTransferAccepted(0);
  Relay().OnFailToTransfer(0, 603, "Decline");
  EXPECT_EQ(
      (std::vector<std::string>{"OnConnecting 0", "OnProvisionalResponse 0 183 Session Progress",
                                "OnSuccessToConnect 1 127.0.0.1 40000 abc@127.0.0.1",
                                "OnCallTransferAccepted 0", "OnFailToTransfer 0 603 Decline"}),
      m_UA.m_Events);
}

TEST_F(EventRelay, IncomingCallEventsCarryNoLineAndAlwaysGetThrough) {
  Relay().OnIncomingCall("c1@h", "Bob", "bob", "<sip:bob@h>", "<sip:alice@h>");
  Relay().OnIncomingCallRingingStart("c1@h");
  Relay().OnIncomingCallRingingStop("c1@h");
  EXPECT_EQ((std::vector<std::string>{"OnIncomingCall c1@h Bob bob <sip:bob@h> <sip:alice@h>",
                                      "OnIncomingCallRingingStart c1@h",
                                      "OnIncomingCallRingingStop c1@h"}),
            m_UA.m_Events);
}

TEST_F(EventRelay, NonAsciiTextsArriveWhole) {
  Relay().OnIncomingCall("c2@h", "J\xC3\xBCrgen \xE6\x9D\x8E", "jurgen", "<sip:j@h>",
                         "<sip:alice@h>");
  Relay().OnChatRecvMsgText("sip:j@h", "gr\xC3\xBC\xC3\x9F dich");
  ASSERT_EQ(2u, m_UA.m_Events.size());
  EXPECT_EQ("OnIncomingCall c2@h J\xC3\xBCrgen \xE6\x9D\x8E jurgen <sip:j@h> <sip:alice@h>",
            m_UA.m_Events[0]);
  EXPECT_EQ("OnChatRecvMsgText sip:j@h gr\xC3\xBC\xC3\x9F dich", m_UA.m_Events[1]);
}

TEST_F(EventRelay, ChatAndDiagnosticEventsArePassedOn) {
  Relay().OnChatContactStatus("sip:bob@h", 2);
  Relay().OnChatSendMsgTextSuccess("bob", "hi", 7);
  Relay().OnChatSendMsgTextFail("bob", -1, "Time Out", "hi", 8);
  Relay().OnChatSendMsgTypingSuccess("bob", 9);
  Relay().OnChatSendMsgTypingFail("bob", 404, "Not Found", 10);
  Relay().OnChatRecvMsgTypingStart("bob");
  Relay().OnChatRecvMsgTypingStop("bob");
  Relay().OnOutgoingDiagnostic("OPTIONS x", "127.0.0.1", 5060);
  Relay().OnIncomingDiagnostic("SIP/2.0 200 OK", "127.0.0.1", 5061);
  Relay().OnDetectedAMD(1, true);
  Relay().OnPlayWaveDone(0);
  EXPECT_EQ((std::vector<std::string>{
                "OnChatContactStatus sip:bob@h 2", "OnChatSendMsgTextSuccess bob hi 7",
                "OnChatSendMsgTextFail bob -1 Time Out hi 8", "OnChatSendMsgTypingSuccess bob 9",
                "OnChatSendMsgTypingFail bob 404 Not Found 10", "OnChatRecvMsgTypingStart bob",
                "OnChatRecvMsgTypingStop bob", "OnOutgoingDiagnostic 127.0.0.1:5060 OPTIONS x",
                "OnIncomingDiagnostic 127.0.0.1:5061 SIP/2.0 200 OK", "OnDetectedAMD 1 1",
                "OnPlayWaveDone 0"}),
            m_UA.m_Events);
}

}  // namespace
