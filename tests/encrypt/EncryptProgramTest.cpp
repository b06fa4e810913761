// Runs the built Encrypt program in its command-line modes.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "encrypt/cSettingsCipher.h"

extern char** environ;

namespace {

struct sRun {
  int nStatus = -1;  // exit status, or -1 when the program did not exit normally
  std::string strOut;
  std::string strErr;
};

std::string ReadFile(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// A Qt platform that does not exist: a program that tried to open a window under it would stop
// with an error, so a clean exit shows that no dialog was involved.
constexpr const char* kNoDisplay = "no-such-platform";

sRun RunEncrypt(const std::vector<std::string>& args, const std::string& strInput = "",
                const char* pPlatform = kNoDisplay) {
  char dirTemplate[] = "/tmp/kyt_encrypt_test_XXXXXX";
  const char* pDir = mkdtemp(dirTemplate);
  sRun run;
  if (pDir == nullptr) {
    ADD_FAILURE() << "mkdtemp failed";
    return run;
  }
  const std::string inPath = std::string(pDir) + "/in";
  const std::string outPath = std::string(pDir) + "/out";
  const std::string errPath = std::string(pDir) + "/err";
  std::ofstream(inPath, std::ios::binary) << strInput;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, inPath.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);
  posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                   0600);

  std::vector<std::string> env;
  for (char** p = environ; *p != nullptr; ++p) {
    if (!std::string_view(*p).starts_with("QT_QPA_PLATFORM=")) env.emplace_back(*p);
  }
  env.push_back(std::string("QT_QPA_PLATFORM=") + pPlatform);
  std::vector<char*> envp;
  for (std::string& entry : env) envp.push_back(entry.data());
  envp.push_back(nullptr);

  std::vector<std::string> argStrings = {KYT_ENCRYPT_PROGRAM};
  argStrings.insert(argStrings.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& arg : argStrings) argv.push_back(arg.data());
  argv.push_back(nullptr);

  pid_t pid = 0;
  const int nSpawn =
      posix_spawn(&pid, KYT_ENCRYPT_PROGRAM, &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (nSpawn != 0) {
    ADD_FAILURE() << "cannot start " << KYT_ENCRYPT_PROGRAM;
  } else {
    int nWait = 0;
    waitpid(pid, &nWait, 0);
    if (WIFEXITED(nWait)) run.nStatus = WEXITSTATUS(nWait);
  }
  run.strOut = ReadFile(outPath);
  run.strErr = ReadFile(errPath);
  unlink(inPath.c_str());
  unlink(outPath.c_str());
  unlink(errPath.c_str());
  rmdir(pDir);
  return run;
}

std::string Encrypted(const std::string& setting, const std::string& password) {
  cSettingsCipher cipher;
  std::string encoded;
  cipher.EncryptSetting(setting, password, encoded);
  return encoded;
}

TEST(EncryptProgram, EncryptsEachValueOnItsOwnLine) {
  const sRun run = RunEncrypt({"--password", "pass", "alice", "Alice Smith", "sip.example.com"});
  EXPECT_EQ(run.nStatus, 0) << run.strErr;
  EXPECT_EQ(run.strOut, Encrypted("alice", "pass") + "\n" + Encrypted("Alice Smith", "pass") +
                            "\n" + Encrypted("sip.example.com", "pass") + "\n");
  EXPECT_EQ(run.strErr, "");
}

TEST(EncryptProgram, PasswordFormsGiveTheSameStrings) {
  const std::string expected = Encrypted("bob", "pa ss") + "\n";
  EXPECT_EQ(RunEncrypt({"--password", "pa ss", "bob"}).strOut, expected);
  EXPECT_EQ(RunEncrypt({"--password=pa ss", "bob"}).strOut, expected);
  EXPECT_EQ(RunEncrypt({"bob", "--password", "pa ss"}).strOut, expected);
  // "-" reads the first line of standard input, with or without a carriage return.
  EXPECT_EQ(RunEncrypt({"--password", "-", "bob"}, "pa ss\nignored\n").strOut, expected);
  EXPECT_EQ(RunEncrypt({"--password", "-", "bob"}, "pa ss\r\n").strOut, expected);
  EXPECT_EQ(RunEncrypt({"--password", "-", "bob"}, "pa ss").strOut, expected);
}

TEST(EncryptProgram, RefusesAnEmptyPassword) {
  for (const sRun& run :
       {RunEncrypt({"--password", "", "bob"}), RunEncrypt({"--password=", "bob"}),
        RunEncrypt({"--password", "-", "bob"}, ""), RunEncrypt({"--password", "-", "bob"}, "\n")}) {
    EXPECT_NE(run.nStatus, 0);
    EXPECT_EQ(run.strOut, "");
    EXPECT_EQ(run.strErr, "Please enter a valid password!\n");
  }
}

TEST(EncryptProgram, DecryptsWhatItEncrypted) {
  const std::string long_setting(5000, 'L');
  const sRun encrypted = RunEncrypt({"--password", "k", "--", "carol", "-dash", long_setting});
  ASSERT_EQ(encrypted.nStatus, 0) << encrypted.strErr;
  std::vector<std::string> args = {"--decrypt", "--password", "k"};
  std::istringstream lines(encrypted.strOut);
  for (std::string line; std::getline(lines, line);) args.push_back(line);
  ASSERT_EQ(args.size(), 6u);
  const sRun decrypted = RunEncrypt(args);
  EXPECT_EQ(decrypted.nStatus, 0) << decrypted.strErr;
  EXPECT_EQ(decrypted.strOut, "carol\n-dash\n" + long_setting + "\n");
}

TEST(EncryptProgram, ReportsValuesThatCannotBeDecryptedAndGoesOn) {
  const sRun run =
      RunEncrypt({"--password", "k", "--decrypt", "not base64!", Encrypted("dave", "k"), "QUJD"});
  EXPECT_EQ(run.nStatus, 1);
  EXPECT_EQ(run.strOut, "\ndave\n\n");
  EXPECT_NE(run.strErr.find("\"not base64!\": not a Base64 string"), std::string::npos)
      << run.strErr;
  EXPECT_NE(run.strErr.find("\"QUJD\": not a whole number of cipher blocks"), std::string::npos)
      << run.strErr;
}

TEST(EncryptProgram, EmptyValuePrintsAnEmptyLine) {
  const sRun run = RunEncrypt({"--password", "k", "", "erin"});
  EXPECT_EQ(run.nStatus, 0) << run.strErr;
  EXPECT_EQ(run.strOut, "\n" + Encrypted("erin", "k") + "\n");
}

TEST(EncryptProgram, RegistrationWordsExitAtOnceWithoutTheDialog) {
  for (const char* pWord : {"-RegServer", "/RegServer", "-UnregServer", "/UnregServer",
                            "-regserver", "/UNREGSERVER", "/rEgSeRvEr"}) {
    const sRun run = RunEncrypt({pWord});
    EXPECT_EQ(run.nStatus, 0) << pWord << ": " << run.strErr;
    EXPECT_EQ(run.strOut, "") << pWord;
    EXPECT_EQ(run.strErr, "") << pWord;
  }
  // Among other arguments it still wins; after "--" it is just a value.
  EXPECT_EQ(RunEncrypt({"--password", "k", "x", "/RegServer"}).strOut, "");
  EXPECT_EQ(RunEncrypt({"--password", "k", "--", "-RegServer"}).strOut,
            Encrypted("-RegServer", "k") + "\n");
}

TEST(EncryptProgram, HelpDocumentsEveryMode) {
  for (const char* pHelp : {"--help", "-h"}) {
    const sRun run = RunEncrypt({pHelp});
    EXPECT_EQ(run.nStatus, 0);
    for (const char* pTopic : {"--password", "--decrypt", "standard input", "-RegServer",
                               "/UnregServer", "no component registry", "Exit status",
                               "Encrypt SIP Account Settings.", "Please enter a valid password!"}) {
      EXPECT_NE(run.strOut.find(pTopic), std::string::npos) << pTopic;
    }
  }
}

TEST(EncryptProgram, UsageErrorsExitWithStatusTwo) {
  const std::vector<std::vector<std::string>> kBadCalls = {
      {"--password"},       // no password after the option
      {"--password", "k"},  // no values
      {"--decrypt", "x"},   // no password
      {"--frobnicate", "--password", "k", "x"},
      {"--password", "k", "-x", "y"},  // single-dash words are not values before "--"
      {"--decrypt=yes", "--password", "k", "x"},
  };
  for (const auto& args : kBadCalls) {
    const sRun run = RunEncrypt(args);
    EXPECT_EQ(run.nStatus, 2) << args[0];
    EXPECT_EQ(run.strOut, "") << args[0];
    EXPECT_NE(run.strErr.find("Try 'Encrypt --help'"), std::string::npos) << run.strErr;
  }
}

TEST(EncryptProgram, DialogModeRefusesArgumentsItCannotUse) {
  const sRun run = RunEncrypt({"bogus"}, "", "offscreen");
  EXPECT_EQ(run.nStatus, 2);
  EXPECT_NE(run.strErr.find("unknown argument bogus"), std::string::npos) << run.strErr;
}

}  // namespace
