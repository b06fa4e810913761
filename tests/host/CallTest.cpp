#include <chrono>
#include <string>
#include <vector>

#include "HostTestFixture.h"
#include "tests/support/Tone.h"
#include "tests/support/WaveFile.h"
#include "tests/support/cLoopbackPort.h"
#include "tests/support/cSippPeer.h"

using namespace std::chrono_literals;

namespace {

constexpr double kToneHz = 850;

// Calls made by pages in our host, with the sound device that needs no hardware: the caller's
// microphone plays a tone from a WAVE file and every speaker is written to a file of its own.
class HostCallTest : public HostTestFixture {
 protected:
  void SetUp() override {
    HostTestFixture::SetUp();
    m_Tone = ScratchFile("tone.wav");
    ASSERT_TRUE(kyttest::WriteWave(m_Tone, kyttest::Tone(kToneHz, 8000, 3 * kyttest::kSampleRate)));
  }

  static cNPPage::tAttributes VirtualAudio(const std::string& mic, const std::string& speaker) {
    cNPPage::tAttributes attributes = {{"audio", "virtual"}, {"speaker", speaker}};
    if (!mic.empty()) attributes.emplace_back("mic", mic);
    return attributes;
  }

  // user on 127.0.0.1:nPort (0: any), sending everything to proxy, with one line open.
  static void Start(cNPPage& page, const std::string& user, int nPort, const std::string& proxy) {
    ASSERT_EQ(Call(page, "InitializeEx",
                   {true, "127.0.0.1", nPort, user, user, "secret", user, "127.0.0.1", proxy, "",
                    true, 1}),
              cJsValue(true));
    ASSERT_EQ(Call(page, "OpenLine", {0, true, "127.0.0.1", kyttest::cLoopbackPort::FreeUdp(2)}),
              cJsValue(true));
  }

  static std::string Describe(const std::vector<tEvent>& events) {
    std::string text = "events:";
    for (const tEvent& event : events) text += " " + event.first + cJsValue::ToJSON(event.second);
    return text;
  }

  std::string m_Tone;
};

// SIPp answers with an SDP answer for its media port and echoes what it receives there; after a
// second it hangs up. The page hears the call connect with the answer's address and end with the
// BYE, and its speaker file carries its own microphone's tone, come back from SIPp.
TEST_F(HostCallTest, AnOutgoingCallToSippConnectsAndEndsWithItsBye) {
  kyttest::cSippPeer bob;
  bob.EchoRtp();
  ASSERT_TRUE(bob.Start(DataFile("uas_hangs_up.xml"), "", 60s))
      << "sipp (package sip-tester) is needed\n"
      << bob.Output();
  const int nMediaPort = bob.MediaPort();
  const std::string heard = ScratchFile("heard.wav");
  {
    cNPPage page(&m_Host, VirtualAudio(m_Tone, heard));
    RecordEvents(page);
    Start(page, "alice", 0, bob.Uri());
    ASSERT_EQ(Call(page, "DialCall", {0, "bob", 0, 0}), cJsValue(true));
    ASSERT_TRUE(RunUntilEvent("OnDisconnectCall", 10)) << Describe(m_Events) << bob.Output();
    const std::vector<tEvent> expected = {
        {"OnConnecting", {0}},
        {"OnProvisionalResponse", {0, 180, "Ringing"}},
        {"OnSuccessToConnect", {0, "127.0.0.1", nMediaPort}},
        {"OnDisconnectCall", {0}},
    };
    EXPECT_EQ(m_Events, expected) << Describe(m_Events);
    EXPECT_EQ(Call(page, "IsLineBusy", {0}), cJsValue(false));
    m_Host.GetMainLoop().RunUntil([&] { return bob.Done(); }, 10s);
    EXPECT_EQ(bob.ExitCode(), 0) << bob.Output();
    Call(page, "UnInitialize");
  }
  const std::vector<int16_t> samples = kyttest::ReadWave(heard);
  ASSERT_GE(samples.size(), static_cast<size_t>(kyttest::kSampleRate / 2))
      << "speaker file " << heard;
  EXPECT_GT(kyttest::Rms(samples.data(), samples.size()), 500.0);
  EXPECT_EQ(kyttest::DominantFrequency(samples.data(), samples.size()), kToneHz);
}

// Two pages of one host, each with a user agent of its own on its own port and the other as its
// proxy. Bob's page accepts from inside OnIncomingCall; Alice hangs up after a second and a half.
TEST_F(HostCallTest, TwoPagesCallEachOtherAndTheCalleeHearsTheCaller) {
  const int nPortA = kyttest::cLoopbackPort::FreeUdp();
  const int nPortB = kyttest::cLoopbackPort::FreeUdp();
  ASSERT_GT(nPortA, 0);
  ASSERT_GT(nPortB, 0);
  const std::string heardByAlice = ScratchFile("alice.wav");
  const std::string heardByBob = ScratchFile("bob.wav");
  {
    cNPPage alice(&m_Host, VirtualAudio(m_Tone, heardByAlice));
    cNPPage bob(&m_Host, VirtualAudio("", heardByBob));
    std::vector<tEvent> aliceEvents, bobEvents;
    alice.SetAnyEventFunction([&](const std::string& name, const cNPPage::tArgs& args) {
      aliceEvents.emplace_back(name, args);
    });
    bob.SetAnyEventFunction([&](const std::string& name, const cNPPage::tArgs& args) {
      bobEvents.emplace_back(name, args);
    });
    bob.SetEventFunction("OnIncomingCall", [&](const cNPPage::tArgs& args) {
      bobEvents.emplace_back("OnIncomingCall", args);
      ASSERT_EQ(args.size(), 5u);
      EXPECT_EQ(Call(bob, "AcceptCall", {0, args[0], 0, 0}), cJsValue(true));
    });
    Start(alice, "alice", nPortA, "sip:127.0.0.1:" + std::to_string(nPortB));
    Start(bob, "bob", nPortB, "sip:127.0.0.1:" + std::to_string(nPortA));

    ASSERT_EQ(Call(alice, "DialCall", {0, "bob", 0, 0}), cJsValue(true));
    auto connected = [](const std::vector<tEvent>& events) {
      for (const tEvent& event : events)
        if (event.first == "OnSuccessToConnect") return true;
      return false;
    };
    ASSERT_TRUE(m_Host.GetMainLoop().RunUntil(
        [&] { return connected(aliceEvents) && connected(bobEvents); }, std::chrono::seconds(10)))
        << "alice " << Describe(aliceEvents) << "\nbob " << Describe(bobEvents);
    ASSERT_FALSE(bobEvents.empty());
    ASSERT_EQ(bobEvents[0].first, "OnIncomingCall");
    EXPECT_EQ(bobEvents[0].second.at(2), cJsValue("alice"));
    EXPECT_EQ(Call(alice, "IsLineConnected", {0}), cJsValue(1));
    EXPECT_EQ(Call(bob, "IsLineConnected", {0}), cJsValue(1));
    for (const auto* pEvents : {&aliceEvents, &bobEvents}) {
      const tEvent& event = pEvents->back();
      ASSERT_EQ(event.first, "OnSuccessToConnect");
      ASSERT_EQ(event.second.size(), 3u);
      EXPECT_EQ(event.second[0], cJsValue(0));
      EXPECT_EQ(event.second[1], cJsValue("127.0.0.1"));
      EXPECT_EQ(event.second[2].GetType(), cJsValue::eType::kInt);
      EXPECT_GT(event.second[2].GetInt(), 0);
    }

    m_Host.GetMainLoop().RunFor(std::chrono::milliseconds(1500));
    ASSERT_EQ(Call(alice, "Disconnect", {0}), cJsValue(true));
    ASSERT_TRUE(m_Host.GetMainLoop().RunUntil(
        [&] { return bobEvents.back().first == "OnDisconnectCall"; }, std::chrono::seconds(10)))
        << "bob " << Describe(bobEvents);
    EXPECT_EQ(bobEvents.back(), tEvent("OnDisconnectCall", {0}));
    EXPECT_EQ(aliceEvents.back().first, "OnSuccessToConnect") << "a call ended here is not heard";
    EXPECT_EQ(Call(alice, "IsLineBusy", {0}), cJsValue(false));
    EXPECT_EQ(Call(bob, "IsLineBusy", {0}), cJsValue(false));
    Call(alice, "UnInitialize");
    Call(bob, "UnInitialize");
  }
  const std::vector<int16_t> bobHeard = kyttest::ReadWave(heardByBob);
  ASSERT_GE(bobHeard.size(), static_cast<size_t>(kyttest::kSampleRate)) << "speaker file of bob";
  EXPECT_GT(kyttest::Rms(bobHeard.data(), bobHeard.size()), 500.0);
  EXPECT_EQ(kyttest::DominantFrequency(bobHeard.data(), bobHeard.size()), kToneHz);
  // Bob's microphone is silent, and nobody hears himself.
  const std::vector<int16_t> aliceHeard = kyttest::ReadWave(heardByAlice);
  ASSERT_GE(aliceHeard.size(), static_cast<size_t>(kyttest::kSampleRate))
      << "speaker file of alice";
  EXPECT_LT(kyttest::Rms(aliceHeard.data(), aliceHeard.size()), 50.0);
}

}  // namespace
