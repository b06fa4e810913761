#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

// What the Encrypt program was asked to do on its command line, and the modes that run without
// the dialog: registration words, help, and encrypting or decrypting values given as arguments.
class cEncryptCommandLine {
 public:
  enum eMode {
    MODE_DIALOG,        // no arguments of ours: the dialog opens (Qt takes its own options)
    MODE_REGISTRATION,  // -RegServer or -UnregServer: nothing to register here, exit at once
    MODE_HELP,
    MODE_VERSION,
    MODE_CIPHER,
    MODE_USAGE_ERROR,
  };

  enum eExitStatus {
    EXIT_OK = 0,
    EXIT_VALUE_FAILED = 1,  // a value could not be decrypted; the others were still printed
    EXIT_USAGE = 2,         // bad arguments or an empty password
  };

  // args: the arguments after the program name.
  explicit cEncryptCommandLine(std::vector<std::string> args);

  eMode GetMode() const { return m_eMode; }
  // Runs every mode but the dialog and answers the exit status.
  int Run(std::istream& in, std::ostream& out, std::ostream& err) const;

  // "RegServer" or "UnregServer" after one "-" or "/", in any case.
  static bool IsRegistrationWord(std::string_view arg);
  static const char* HelpText();
  // The error reported for an argument the dialog mode cannot use.
  static void ReportUsageError(std::ostream& err, const std::string& strMessage);

 private:
  void ParseCipherArguments();
  int RunCipher(std::istream& in, std::ostream& out, std::ostream& err) const;

  std::vector<std::string> m_args;
  eMode m_eMode = MODE_DIALOG;
  std::string m_strError;
  bool m_bDecrypt = false;
  bool m_bHavePassword = false;
  bool m_bPasswordFromInput = false;
  std::string m_strPassword;
  std::vector<std::string> m_values;
};
