#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "SippPeer.h"

namespace {

// Runs the kytphone program as a user would, with its output caught in files.
class KytPhoneTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kyt-phone-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    m_Directory = pattern;
  }
  void TearDown() override {
    std::error_code ec;
    std::filesystem::remove_all(m_Directory, ec);
  }

  std::string WriteFile(const std::string& name, const std::string& text) {
    std::string path = m_Directory + "/" + name;
    std::ofstream(path) << text;
    return path;
  }

  static std::string ReadFile(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

  // Runs "kytphone <arguments>" (arguments are given to the shell as they are); answers its exit
  // status and leaves what it printed in m_Out and m_Err.
  int Run(const std::string& arguments, const std::string& stdinText = "") {
    std::string input = WriteFile("stdin.txt", stdinText);
    std::string command = std::string("'") + KYT_PHONE_PATH + "' " + arguments + " < '" + input +
                          "' > '" + m_Directory + "/out.txt' 2> '" + m_Directory + "/err.txt'";
    int status = std::system(command.c_str());
    m_Out = ReadFile(m_Directory + "/out.txt");
    m_Err = ReadFile(m_Directory + "/err.txt");
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  // The example command file, pointed at the test's registrar.
  std::string ExampleFor(const SippPeer& registrar) {
    std::string text = ReadFile(std::string(KYT_SOURCE_DIR) + "/host/examples/register.kyt");
    const std::string proxy = "sip:127.0.0.1:5060";
    size_t pos = text.find(proxy);
    EXPECT_NE(pos, std::string::npos);
    if (pos != std::string::npos) text.replace(pos, proxy.size(), registrar.GetProxy());
    return WriteFile("register.kyt", text);
  }

  std::string m_Directory;
  std::string m_Out;
  std::string m_Err;
};

TEST_F(KytPhoneTest, HelpDocumentsLinesCommandsAndOutput) {
  ASSERT_EQ(Run("--help"), 0);
  for (const char* pText : {"Usage: kytphone", "wait EventName", "sleep", "quit", "=> <JSON",
                            "@EventName", "--plugin", "Exit status", "#"})
    EXPECT_NE(m_Out.find(pText), std::string::npos) << pText;
}

TEST_F(KytPhoneTest, TheExampleRegistersAndExitsZero) {
  SippPeer registrar;
  std::string error;
  ASSERT_TRUE(registrar.Start(std::string(KYT_TEST_DATA_DIR) + "/registrar.xml", &error)) << error;
  std::string file = ExampleFor(registrar);
  ASSERT_EQ(Run("'" + file + "'"), 0) << m_Out << m_Err << registrar.GetOutput();
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

TEST_F(KytPhoneTest, RefusalPrintsTheEventsWithTheirArguments) {
  SippPeer registrar;
  std::string error;
  ASSERT_TRUE(registrar.Start(std::string(KYT_TEST_DATA_DIR) + "/registrar_refuse.xml", &error))
      << error;
  std::string file = WriteFile(
      "refused.kyt",
      "InitializeEx(true, '127.0.0.1', 0, 'alice', 'alice', 'secret', 'Alice', 'example.com', '" +
          registrar.GetProxy() +
          "', '', true, 1);\nRegisterToProxy(60)\nwait OnFailToRegisterEx\n");
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

TEST_F(KytPhoneTest, AMissingPluginEndsWithStatusThree) {
  EXPECT_EQ(Run("--plugin '" + m_Directory + "/none.so'", "GetVersionFile()\n"), 3);
  EXPECT_NE(m_Err.find("none.so"), std::string::npos) << m_Err;
}

}  // namespace
