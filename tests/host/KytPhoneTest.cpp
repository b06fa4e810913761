#include <gtest/gtest.h>
#include <sys/wait.h>

#include <chrono>
#include <cstdlib>
#include <sstream>
#include <string>
#include <thread>

#include "host/cKytPhone.h"
#include "tests/support/TextFile.h"
#include "tests/support/Tone.h"
#include "tests/support/Wait.h"
#include "tests/support/WaveFile.h"
#include "tests/support/cLoopbackPort.h"
#include "tests/support/cPortSearchLock.h"
#include "tests/support/cSippPeer.h"
#include "tests/support/cTempDir.h"

using namespace std::chrono_literals;

namespace {

// Runs the kytphone program as a user would, with its output caught in files.
class KytPhoneTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_FALSE(m_Dir.Path().empty()); }

  std::string WriteFile(const std::string& name, const std::string& text) {
    const std::string path = m_Dir.File(name);
    kyttest::WriteText(path, text);
    return path;
  }

  // Runs "kytphone <arguments>" (arguments are given to the shell as they are); answers its exit
  // status and leaves what it printed in m_Out and m_Err.
  int Run(const std::string& arguments, const std::string& stdinText = "") {
    std::string input = WriteFile("stdin.txt", stdinText);
    std::string command = std::string("'") + KYT_PHONE_PATH + "' " + arguments + " < '" + input +
                          "' > '" + m_Directory + "/out.txt' 2> '" + m_Directory + "/err.txt'";
    int status = std::system(command.c_str());
    m_Out = kyttest::ReadText(m_Directory + "/out.txt");
    m_Err = kyttest::ReadText(m_Directory + "/err.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // An example command file, pointed at the test's peer.
  std::string ExampleFor(const std::string& name, const kyttest::cSippPeer& peer) {
    std::string text = kyttest::ReadText(std::string(KYT_SOURCE_DIR) + "/host/examples/" + name);
    const std::string proxy = "sip:127.0.0.1:5060";
    size_t pos = text.find(proxy);
    EXPECT_NE(pos, std::string::npos);
    if (pos != std::string::npos) text.replace(pos, proxy.size(), peer.Uri());
    return WriteFile(name, text);
  }

  kyttest::cTempDir m_Dir{"kyt-phone-"};
  const std::string m_Directory = m_Dir.Path();
  std::string m_Out;
  std::string m_Err;
};

TEST_F(KytPhoneTest, HelpDocumentsLinesCommandsAndOutput) {
  ASSERT_EQ(Run("--help"), 0);
  for (const char* pText : {"Usage: kytphone", "wait EventName", "sleep", "quit", "=> <JSON",
                            "@EventName", "--plugin", "--audio pulse", "--audio virtual",
                            "--mic FILE.wav", "--speaker FILE.wav", "Exit status", "#"})
    EXPECT_NE(m_Out.find(pText), std::string::npos) << pText;
}

// The same with SIPp as the far side.
using KytPhoneSippTest = KytPhoneTest;

TEST_F(KytPhoneSippTest, TheExampleRegistersAndExitsZero) {
  kyttest::cSippPeer registrar;
  ASSERT_TRUE(registrar.Start(std::string(KYT_TEST_DATA_DIR) + "/registrar.xml", "", 60s))
      << "sipp (package sip-tester) is needed\n"
      << registrar.Output();
  std::string file = ExampleFor("register.kyt", registrar);
  ASSERT_EQ(Run("'" + file + "'"), 0) << m_Out << m_Err << registrar.Output();
  // Where the trying events land among the answers depends on when the registrar's 100 comes.
  std::string answers, events;
  std::istringstream lines(m_Out);
  for (std::string line; std::getline(lines, line);)
    (line.starts_with("@") ? events : answers) += line + "\n";
  EXPECT_EQ(answers, "=> \"7.0.7.3\"\n=> true\n=> true\n=> true\n=> null\n") << m_Out;
  EXPECT_EQ(events,
            "@OnTryingToRegister []\n@OnSuccessToRegister []\n@OnTryingToUnRegister []\n"
            "@OnSuccessToUnRegister []\n")
      << m_Out;
  EXPECT_EQ(m_Err, "");
}

// The call example against a SIPp that answers, echoes the voice it receives and waits for our
// BYE; the phone runs on the virtual sound device.
TEST_F(KytPhoneSippTest, TheCallExampleRunsOnTheVirtualSoundDevice) {
  kyttest::cSippPeer bob;
  bob.EchoRtp();
  ASSERT_TRUE(bob.Start(std::string(KYT_TEST_DATA_DIR) + "/uas_awaits_bye.xml", "", 60s))
      << "sipp (package sip-tester) is needed\n"
      << bob.Output();
  const int nMediaPort = bob.MediaPort();
  const std::string tone = m_Directory + "/tone.wav";
  const std::string heard = m_Directory + "/heard.wav";
  ASSERT_TRUE(kyttest::WriteWave(tone, kyttest::Tone(850, 8000, 3 * kyttest::kSampleRate)));
  std::string file = ExampleFor("call.kyt", bob);
  {
    // The example lets its line find a port of its own.
    kyttest::cPortSearchLock lock;
    ASSERT_EQ(Run("--audio virtual --mic '" + tone + "' --speaker '" + heard + "' '" + file + "'"),
              0)
        << m_Out << m_Err << bob.Output();
  }
  EXPECT_EQ(m_Out,
            "=> true\n=> true\n@OnConnecting [0]\n=> true\n"
            "@OnProvisionalResponse [0, 180, \"Ringing\"]\n"
            "@OnSuccessToConnect [0, \"127.0.0.1\", " +
                std::to_string(nMediaPort) + "]\n=> true\n=> null\n");
  EXPECT_EQ(m_Err, "");
  EXPECT_EQ(bob.Wait(5s), 0) << "SIPp took our BYE\n" << bob.Output();
  const std::vector<int16_t> samples = kyttest::ReadWave(heard);
  ASSERT_GE(samples.size(), static_cast<size_t>(kyttest::kSampleRate / 2)) << heard;
  EXPECT_EQ(kyttest::DominantFrequency(samples.data(), samples.size()), 850.0);
}

// The audio options become attributes of the page's embedding element, in the names the plug-in
// reads.
TEST(KytPhoneOptionsTest, AudioOptionsBecomeAttributesOfThePage) {
  cKytPhone::cOptions options;
  std::string error;
  ASSERT_TRUE(cKytPhone::ParseOptions(
      {"--speaker", "out.wav", "--audio", "virtual", "call.kyt", "--mic", "in.wav"}, &options,
      &error))
      << error;
  const cNPPage::tAttributes expected = {
      {"audio", "virtual"}, {"mic", "in.wav"}, {"speaker", "out.wav"}};
  EXPECT_EQ(options.pageAttributes, expected);
  EXPECT_EQ(options.commandFile, "call.kyt");

  cKytPhone::cOptions pulse;
  ASSERT_TRUE(cKytPhone::ParseOptions({"--audio", "pulse"}, &pulse, &error)) << error;
  EXPECT_EQ(pulse.pageAttributes, (cNPPage::tAttributes{{"audio", "pulse"}}));
  cKytPhone::cOptions none;
  ASSERT_TRUE(cKytPhone::ParseOptions({"call.kyt"}, &none, &error)) << error;
  EXPECT_TRUE(none.pageAttributes.empty());
}

TEST_F(KytPhoneTest, AudioOptionsThatCannotWorkEndWithStatusTwo) {
  const std::string tone = m_Directory + "/tone.wav";
  ASSERT_TRUE(kyttest::WriteWave(tone, kyttest::Tone(850, 8000, kyttest::kSampleRate)));
  EXPECT_EQ(Run("--audio loud", "GetVersionFile()\n"), 2);
  EXPECT_NE(m_Err.find("--audio is pulse or virtual"), std::string::npos) << m_Err;
  EXPECT_EQ(Run("--audio"), 2);
  EXPECT_EQ(Run("--mic '" + tone + "'", "GetVersionFile()\n"), 2);
  EXPECT_NE(m_Err.find("--mic needs --audio virtual"), std::string::npos) << m_Err;
  EXPECT_EQ(Run("--audio pulse --speaker '" + m_Directory + "/out.wav'", "GetVersionFile()\n"), 2);
  EXPECT_NE(m_Err.find("--speaker needs --audio virtual"), std::string::npos) << m_Err;
  EXPECT_EQ(Run("--audio virtual --mic '" + m_Directory + "/none.wav'", "GetVersionFile()\n"), 2);
  EXPECT_NE(m_Err.find("cannot read " + m_Directory + "/none.wav"), std::string::npos) << m_Err;
  EXPECT_EQ(m_Out, "");

  ASSERT_EQ(Run("--audio pulse", "GetVersionFile()\n"), 0) << m_Err;
  EXPECT_EQ(m_Out, "=> \"7.0.7.3\"\n");
  ASSERT_EQ(Run("--audio virtual --mic '" + tone + "'", "GetVersionFile()\n"), 0) << m_Err;
}

TEST_F(KytPhoneSippTest, RefusalPrintsTheEventsWithTheirArguments) {
  kyttest::cSippPeer registrar;
  ASSERT_TRUE(registrar.Start(std::string(KYT_TEST_DATA_DIR) + "/registrar_refuse.xml", "", 60s))
      << "sipp (package sip-tester) is needed\n"
      << registrar.Output();
  std::string file = WriteFile(
      "refused.kyt",
      "InitializeEx(true, '127.0.0.1', 0, 'alice', 'alice', 'secret', 'Alice', 'example.com', '" +
          registrar.Uri() + "', '', true, 1);\nRegisterToProxy(60)\nwait OnFailToRegisterEx\n");
  ASSERT_EQ(Run("'" + file + "'"), 0) << m_Out << m_Err;
  EXPECT_NE(m_Out.find("@OnFailToRegister []\n@OnFailToRegisterEx [403, \"Zugang f\xC3\xBCr "
                       "\xC3\x85lice verweigert \xE2\x80\x93 \xE7\xA6\x81\xE6\xAD\xA2 "
                       "\xF0\x9F\x9A\xAB\"]\n"),
            std::string::npos)
      << m_Out;
}

TEST_F(KytPhoneTest, AWaitThatTimesOutEndsAFileRunWithStatusOne) {
  std::string file = WriteFile(
      "wait.kyt", "# nothing registers here\nwait OnSuccessToRegister 0.2\nGetVersionSDK()\n");
  EXPECT_EQ(Run("'" + file + "'"), 1);
  EXPECT_NE(m_Err.find("line 2"), std::string::npos) << m_Err;
  EXPECT_NE(m_Err.find("wait OnSuccessToRegister"), std::string::npos) << m_Err;
  EXPECT_EQ(m_Out.find("3.0"), std::string::npos);  // the run stopped at the wait
}

TEST_F(KytPhoneTest, LinesItDoesNotUnderstandEndAFileRunWithStatusTwo) {
  EXPECT_EQ(Run("'" + WriteFile("a.kyt", "GetVersionSDK()\nNoSuchFunction(1)\n") + "'"), 2);
  EXPECT_EQ(m_Out, "=> \"3.0\"\n");
  EXPECT_NE(m_Err.find("line 2: NoSuchFunction is not a function"), std::string::npos) << m_Err;

  EXPECT_EQ(Run("'" + WriteFile("b.kyt", "GetAudioInDevName(0\n") + "'"), 2);
  EXPECT_NE(m_Err.find("line 1"), std::string::npos) << m_Err;

  EXPECT_EQ(Run("'" + WriteFile("c.kyt", "dance now\n") + "'"), 2);
  EXPECT_EQ(Run("--volume 11"), 2);
  EXPECT_EQ(Run("'" + m_Directory + "/missing.kyt'"), 2);
}

TEST_F(KytPhoneTest, ReadsStandardInputWhenNoFileIsGiven) {
  ASSERT_EQ(Run("",
                "GetVersionFile()\n  # a "
                "comment\n\nGetAudioOutDevName(\"0abc\")\nquit\nGetVersionSDK()\n"),
            0)
      << m_Err;
  // No prompt when the input is not a terminal; nothing after quit runs.
  EXPECT_EQ(m_Out, "=> \"7.0.7.3\"\n=> \"Default\"\n");
}

TEST_F(KytPhoneTest, SleepRunsThePhoneAndTheEndOfInputQuits) {
  ASSERT_EQ(Run("-", "sleep 0.1\nGetAudioInDevTotal(1, 2)\n"), 0) << m_Err;
  EXPECT_EQ(m_Out, "=> 1\n");
}

// The example answers SIPp's call with the Call-ID that OnIncomingCall carried, as $1.
TEST_F(KytPhoneSippTest, TheAnswerExampleTakesACallFromSipp) {
  const int nPort = kyttest::cLoopbackPort::FreeUdp();
  ASSERT_GT(nPort, 0);
  kyttest::cSippPeer bjoern;
  std::string text = kyttest::ReadText(ExampleFor("answer.kyt", bjoern));
  for (size_t pos; (pos = text.find("5070")) != std::string::npos;)
    text.replace(pos, 4, std::to_string(nPort));
  const std::string file = WriteFile("answer.kyt", text);
  // SIPp's own calling scenario, as the example's header suggests.
  const std::string uac = m_Dir.File("uac.xml");
  // (sipp answers 99 after printing a scenario.)
  ASSERT_GE(std::system(("sipp -sd uac > '" + uac + "' 2>/dev/null").c_str()), 0);
  ASSERT_NE(kyttest::ReadText(uac).find("INVITE"), std::string::npos) << "sipp is needed";
  // The phone listens first; SIPp then calls it.
  int nExit = -1;
  std::thread phone([&] { nExit = Run("--audio virtual '" + file + "'"); });
  kyttest::PollUntil([&] { return kyttest::cLoopbackPort::IsUdpTaken(nPort); }, 20s);
  const bool bStarted = bjoern.Start(uac, "127.0.0.1:" + std::to_string(nPort), 60s);
  phone.join();
  ASSERT_TRUE(bStarted) << "sipp (package sip-tester) is needed\n" << bjoern.Output();
  ASSERT_EQ(nExit, 0) << m_Out << m_Err << bjoern.Output();
  EXPECT_NE(m_Out.find("@OnIncomingCall [\""), std::string::npos) << m_Out;
  EXPECT_NE(m_Out.find("=> true\n@OnSuccessToConnect"), std::string::npos) << m_Out;
  EXPECT_NE(m_Out.find("@OnDisconnectCall [0]"), std::string::npos) << m_Out;
  EXPECT_EQ(bjoern.Wait(5s), 0) << bjoern.Output();
}

// Mistakes a script makes: counts are warned about, unknown events and $N without an argument
// are bad lines; --keep-going runs on and a stopped run closes the session.
TEST_F(KytPhoneTest, MistakesAreReportedAndKeepGoingRunsTheRest) {
  const std::string file =
      WriteFile("m.kyt", "Connect(0, 'sip:b@127.0.0.1')\nwait OnNothing 1\nRejectCall($1)\n");
  EXPECT_EQ(Run("--keep-going '" + file + "'"), 2);
  for (const char* pText : {"line 1: warning: Connect takes 4 arguments, not 2",
                            "line 2: not one of the plug-in's 48 events: OnNothing",
                            "line 3: $1: the event the last wait took has 0 arguments"})
    EXPECT_NE(m_Err.find(pText), std::string::npos) << m_Err;
  EXPECT_EQ(m_Out, "=> false\n");
}

TEST_F(KytPhoneTest, AMissingPluginEndsWithStatusThree) {
  EXPECT_EQ(Run("--plugin '" + m_Directory + "/none.so'", "GetVersionFile()\n"), 3);
  EXPECT_NE(m_Err.find("none.so"), std::string::npos) << m_Err;
}

}  // namespace
