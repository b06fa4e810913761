#include "encrypt/cEncryptCommandLine.h"

#include <algorithm>
#include <cctype>
#include <istream>
#include <ostream>
#include <utility>

#include "encrypt/cSettingsCipher.h"

namespace {

constexpr std::string_view kEndOfOptions = "--";
constexpr std::string_view kPasswordOption = "--password";
constexpr std::string_view kPasswordFromInput = "-";

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool IsHelp(std::string_view arg) { return arg == "--help" || arg == "-h"; }
bool IsVersion(std::string_view arg) { return arg == "--version"; }

}  // namespace

cEncryptCommandLine::cEncryptCommandLine(std::vector<std::string> args) : m_args(std::move(args)) {
  // Only arguments before "--" are options; later ones are values whatever they look like.
  const auto optionsEnd = std::find(m_args.begin(), m_args.end(), kEndOfOptions);
  const auto any = [&](auto predicate) {
    return std::any_of(m_args.begin(), optionsEnd, predicate);
  };
  if (any([](const std::string& arg) { return IsRegistrationWord(arg); })) {
    m_eMode = MODE_REGISTRATION;
  } else if (any([](const std::string& arg) { return IsHelp(arg); })) {
    m_eMode = MODE_HELP;
  } else if (any([](const std::string& arg) { return IsVersion(arg); })) {
    m_eMode = MODE_VERSION;
  } else if (optionsEnd != m_args.end() ||
             any([](const std::string& arg) { return arg.starts_with("--"); })) {
    ParseCipherArguments();
  }
}

bool cEncryptCommandLine::IsRegistrationWord(std::string_view arg) {
  if (arg.empty() || (arg.front() != '-' && arg.front() != '/')) return false;
  arg.remove_prefix(1);
  return EqualNoCase(arg, "RegServer") || EqualNoCase(arg, "UnregServer");
}

void cEncryptCommandLine::ParseCipherArguments() {
  m_eMode = MODE_CIPHER;
  bool bOptions = true;
  for (size_t i = 0; i < m_args.size(); ++i) {
    const std::string& arg = m_args[i];
    if (!bOptions || arg == kPasswordFromInput || !arg.starts_with("-")) {
      m_values.push_back(arg);
    } else if (arg == kEndOfOptions) {
      bOptions = false;
    } else if (arg == "--decrypt") {
      m_bDecrypt = true;
    } else if (arg == kPasswordOption || arg.starts_with("--password=")) {
      std::string strPassword;
      if (arg == kPasswordOption) {
        if (i + 1 == m_args.size()) {
          m_eMode = MODE_USAGE_ERROR;
          m_strError = "option --password needs a value";
          return;
        }
        strPassword = m_args[++i];
      } else {
        strPassword = arg.substr(kPasswordOption.size() + 1);
      }
      m_bHavePassword = true;
      m_bPasswordFromInput = strPassword == kPasswordFromInput;
      m_strPassword = m_bPasswordFromInput ? std::string() : std::move(strPassword);
    } else {
      m_eMode = MODE_USAGE_ERROR;
      m_strError = "unknown option " + arg;
      return;
    }
  }
  if (!m_bHavePassword) {
    m_eMode = MODE_USAGE_ERROR;
    m_strError = "option --password is required";
  } else if (m_values.empty()) {
    m_eMode = MODE_USAGE_ERROR;
    m_strError = "no VALUE given";
  }
}

int cEncryptCommandLine::Run(std::istream& in, std::ostream& out, std::ostream& err) const {
  switch (m_eMode) {
    case MODE_HELP:
      out << HelpText();
      return EXIT_OK;
    case MODE_VERSION:
      out << "Encrypt " << KYT_VERSION << "\n";
      return EXIT_OK;
    case MODE_CIPHER:
      return RunCipher(in, out, err);
    case MODE_USAGE_ERROR:
      ReportUsageError(err, m_strError);
      return EXIT_USAGE;
    case MODE_DIALOG:
    case MODE_REGISTRATION:
      break;
  }
  return EXIT_OK;
}

void cEncryptCommandLine::ReportUsageError(std::ostream& err, const std::string& strMessage) {
  err << "Encrypt: " << strMessage << "\nTry 'Encrypt --help' for more information.\n";
}

int cEncryptCommandLine::RunCipher(std::istream& in, std::ostream& out, std::ostream& err) const {
  std::string strPassword = m_strPassword;
  if (m_bPasswordFromInput) {
    std::getline(in, strPassword);
    if (strPassword.ends_with('\r')) strPassword.pop_back();
  }
  if (strPassword.empty()) {
    err << "Please enter a valid password!\n";
    return EXIT_USAGE;
  }
  cSettingsCipher cipher;
  int nStatus = EXIT_OK;
  for (const std::string& value : m_values) {
    std::string strResult;
    // An empty value has no encrypted form (and is no encrypted form): it prints an empty line.
    if (!value.empty()) {
      const bool bDone = m_bDecrypt ? cipher.DecryptSetting(value, strPassword, strResult)
                                    : cipher.EncryptSetting(value, strPassword, strResult);
      if (!bDone) {
        err << "Encrypt: cannot " << (m_bDecrypt ? "decrypt" : "encrypt") << " \"" << value
            << "\": " << cSettingsCipher::ErrorText(cipher.GetLastError()) << "\n";
        nStatus = EXIT_VALUE_FAILED;
      }
    }
    out << strResult << "\n";
  }
  out.flush();
  return nStatus;
}

const char* cEncryptCommandLine::HelpText() {
  return R"(Usage: Encrypt [QT-OPTION...]
       Encrypt --password PASSWORD [--decrypt] [--] VALUE...
       Encrypt -RegServer | -UnregServer
       Encrypt --help | --version

Encrypts the settings of a SIP account with a password: Blowfish over the
setting's bytes padded with zeros to whole 8-byte blocks, then Base64. The same
setting and password always give the same string.

Dialog
  Without arguments, or with only Qt's own options such as -platform NAME or
  -style NAME, the dialog "Encrypt SIP Account Settings." opens. Type the
  settings and an encryption password and press "Generate Encrypted
  Parameters".

Command line
  --password PASSWORD, --password=PASSWORD
                 the encryption password; "-" reads it from the first line of
                 standard input (a trailing CR is dropped). Required; an empty
                 password is refused with "Please enter a valid password!".
                 Only its first 72 bytes have an effect.
  --decrypt      decrypt each VALUE (an encrypted setting) instead of
                 encrypting it; the text runs up to the first zero byte.
  --             end of options: later arguments are VALUEs even when they
                 start with "-" or "/".
  -h, --help     show this text and exit.
  --version      show the version and exit.
  One result is printed per VALUE, one per line, in the order given. An empty
  VALUE prints an empty line. Values and password are used as the bytes given
  (UTF-8 in a UTF-8 locale, as the dialog uses); settings of any length work.

Registration
  -RegServer, /RegServer, -UnregServer, /UnregServer (in any case, before
  "--") exit at once with status 0 without opening the dialog. On Windows they
  register or unregister the program's application identity; this platform
  has no component registry, so there is nothing to register.

Exit status
  0  success
  1  a VALUE could not be decrypted (an error is written for it, an empty line
     printed, and the other values are still processed)
  2  bad arguments, or an empty password
)";
}
