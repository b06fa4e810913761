// A call the page answers, and the peer then cancels, is not answered again, nor on a second
// line; closing the line stops the sound device whatever the call did.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "platform/cAsioMainLoop.h"
#include "tests/support/cLoopbackPeer.h"
#include "tests/support/cRecordingLib.h"
#include "tests/support/cTempDir.h"
#include "useragent/cKytSIPUserAgentObject.h"

using namespace std::chrono_literals;

namespace {

std::string Request(const std::string& sMethod, uint16_t nPeerPort, const std::string& sBody) {
  const std::string sPort = std::to_string(nPeerPort);
  return sMethod + " sip:alice@127.0.0.1 SIP/2.0\r\nVia: SIP/2.0/UDP 127.0.0.1:" + sPort +
         ";branch=z9hG4bK-guard\r\nFrom: <sip:bob@127.0.0.1:" + sPort +
         ">;tag=bob1\r\nTo: <sip:alice@127.0.0.1>\r\nCall-ID: guard-1\r\nCSeq: 1 " + sMethod +
         "\r\nMax-Forwards: 70\r\n" + (sBody.empty() ? "" : "Content-Type: application/sdp\r\n") +
         "Content-Length: " + std::to_string(sBody.size()) + "\r\n\r\n" + sBody;
}

TEST(UserAgentCallGuard, AnAnsweredThenCancelledCallStaysUnansweredAndCloseLineIsSilent) {
  cAsioMainLoop loop;
  kyttest::cLoopbackPeer bob(&loop);
  kyttest::cTempDir dir("kyt-guard-");
  const std::string speaker = dir.File("speaker.wav");
  kyttest::cRecordingLib ua(&loop);
  ASSERT_TRUE(ua.UseVirtualSoundDevice("", speaker.c_str()));
  const std::string sProxy = "sip:127.0.0.1:" + std::to_string(bob.Port());
  ASSERT_TRUE(ua.Initialize(true, "127.0.0.1", 0, "sip:alice@127.0.0.1", "", sProxy.c_str(),
                            "alice", "pw", true, 2));
  ASSERT_TRUE(ua.OpenLine(0, true, "127.0.0.1", 0));
  ASSERT_TRUE(ua.OpenLine(1, true, "127.0.0.1", 0));
  const auto nAgent = static_cast<uint16_t>(ua.GetKytMainObj()->GetListenPort());

  bob.SendTo(nAgent, Request("INVITE", bob.Port(),
                             "v=0\r\no=bob 1 1 IN IP4 127.0.0.1\r\ns=-\r\nc=IN IP4 127.0.0.1\r\n"
                             "t=0 0\r\nm=audio 9 RTP/AVP 0\r\na=rtpmap:0 PCMU/8000\r\n"));
  ASSERT_TRUE(loop.RunUntil([&] { return ua.Heard("OnIncomingCall"); }, 5s));
  ASSERT_TRUE(ua.AcceptCall(0, "guard-1", 0, 0)) << ua.GetKytObjectError();
  EXPECT_FALSE(ua.AcceptCall(1, "guard-1", 0, 0));
  EXPECT_EQ(ua.GetKytObjectError(), 30);
  bob.SendTo(nAgent, Request("CANCEL", bob.Port(), ""));
  loop.RunFor(300ms);
  EXPECT_FALSE(ua.AcceptCall(0, "guard-1", 0, 0));
  EXPECT_EQ(ua.GetKytObjectError(), 32);

  const auto nOpen = std::filesystem::file_size(speaker);
  loop.RunFor(600ms);
  EXPECT_GT(std::filesystem::file_size(speaker), nOpen);  // the speaker runs
  ASSERT_TRUE(ua.CloseLine(0));
  const auto nClosed = std::filesystem::file_size(speaker);
  loop.RunFor(600ms);
  EXPECT_EQ(std::filesystem::file_size(speaker), nClosed);
}

}  // namespace
