#include <filesystem>
#include <string>
#include <vector>

#include "PluginTest.h"
#include "tests/support/cLoopbackPort.h"
#include "tests/support/cTempDir.h"

namespace {

// The embedding element's attributes choose the user agent's sound device. A call opens the
// device, so a call to a port where nobody listens shows which one the user agent got.
class AudioAttributeTest : public PluginTest {
 protected:
  void SetUp() override {
    PluginTest::SetUp();
    ASSERT_FALSE(m_Directory.empty());
  }

  // Dials on line 0 with the discard port of 127.0.0.1 as proxy; answers DialCall's result.
  static cJsValue Dial(cNPPage& page) {
    EXPECT_EQ(Call(page, "InitializeEx",
                   {true, "127.0.0.1", 0, "alice", "alice", "secret", "Alice", "127.0.0.1",
                    "sip:127.0.0.1:9", "", true, 1}),
              cJsValue(true));
    EXPECT_EQ(Call(page, "OpenLine", {0, true, "127.0.0.1", kyttest::cLoopbackPort::FreeUdp(2)}),
              cJsValue(true));
    return Call(page, "DialCall", {0, "bob", 0, 0});
  }

  kyttest::cTempDir m_Dir{"kyt-plugin-"};
  const std::string m_Directory = m_Dir.Path();
};

TEST_F(AudioAttributeTest, AnAudioDeviceWeDoNotHaveRefusesTheInstance) {
  for (const char* pValue : {"speakers", "", "virtual ", "alsa"}) {
    cNPPage page(&m_Host, {{"audio", pValue}});
    EXPECT_EQ(page.GetNewError(), NPERR_INVALID_PARAM) << '"' << pValue << '"';
    EXPECT_EQ(page.GetScriptableObject(), nullptr);
  }
  // The audio server named outright; mic and speaker mean nothing beside it.
  for (const char* pValue : {"pulse", "Pulse"}) {
    cNPPage page(&m_Host, {{"audio", pValue}, {"mic", m_Directory + "/none.wav"}});
    EXPECT_EQ(page.GetNewError(), NPERR_NO_ERROR) << pValue;
    EXPECT_EQ(Call(page, "GetVersionFile"), cJsValue("7.0.7.3"));
  }
}

// Names and the two values are read as HTML reads them, without regard to case; the page's own
// attributes are left alone.
TEST_F(AudioAttributeTest, TheVirtualDeviceIsTheOneACallOpens) {
  const std::string missing = m_Directory + "/missing.wav";
  {
    cNPPage page(&m_Host, {{"type", "application/x-kyt-sip-useragent"},
                           {"AUDIO", "Virtual"},
                           {"Mic", missing},
                           {"width", "0"}});
    ASSERT_EQ(page.GetNewError(), NPERR_NO_ERROR);
    // The microphone file cannot be read: the sound device does not open (code 14).
    EXPECT_EQ(Dial(page), cJsValue(false));
    EXPECT_EQ(Call(page, "GetKytObjectError"), cJsValue(14));
    Call(page, "UnInitialize");
  }
  const std::string speaker = m_Directory + "/speaker.wav";
  {
    cNPPage page(&m_Host, {{"audio", "virtual"}, {"speaker", speaker}});
    ASSERT_EQ(page.GetNewError(), NPERR_NO_ERROR);
    EXPECT_EQ(Dial(page), cJsValue(true));
    EXPECT_TRUE(std::filesystem::exists(speaker));
    Call(page, "UnInitialize");
  }
}

// Each page has a user agent of its own and so a device of its own.
TEST_F(AudioAttributeTest, EachPageKeepsItsOwnChoice) {
  const std::string speakerA = m_Directory + "/a.wav";
  const std::string speakerB = m_Directory + "/b.wav";
  cNPPage pageA(&m_Host, {{"audio", "virtual"}, {"speaker", speakerA}});
  cNPPage pageB(&m_Host, {{"audio", "virtual"}, {"speaker", speakerB}});
  EXPECT_EQ(Dial(pageB), cJsValue(true));
  EXPECT_TRUE(std::filesystem::exists(speakerB));
  EXPECT_FALSE(std::filesystem::exists(speakerA));
  EXPECT_EQ(Dial(pageA), cJsValue(true));
  EXPECT_TRUE(std::filesystem::exists(speakerA));
  Call(pageA, "UnInitialize");
  Call(pageB, "UnInitialize");
}

}  // namespace
