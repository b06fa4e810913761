// The settings cipher: a password (first line) and an encrypted setting (the rest) from a page or
// a settings file, decrypted; and the rest as a setting, encrypted and decrypted back.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "encrypt/cSettingsCipher.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  const std::string_view input(reinterpret_cast<const char*>(pData), nSize);
  const size_t nBreak = input.find('\n');
  if (nBreak == std::string_view::npos) return 0;
  const std::string_view password = input.substr(0, nBreak);
  const std::string_view rest = input.substr(nBreak + 1);
  cSettingsCipher cipher;
  std::string setting;
  cipher.DecryptSetting(rest, password, setting);
  // Decryption keeps the text up to the first zero byte: only such texts come back whole.
  const std::string_view plain = rest.substr(0, rest.find('\0'));
  std::string encoded, back;
  if (!cipher.EncryptSetting(plain, password, encoded)) return 0;
  if (!cipher.DecryptSetting(encoded, password, back) || back != plain) std::abort();
  return 0;
}
