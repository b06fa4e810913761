#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Turns one account setting into a printable string with a password, and back: Blowfish over the
// zero-padded setting bytes, block by block, then Base64. The same setting and password always
// give the same string. Buffers grow with the setting, so there is no length limit.
class cSettingsCipher {
 public:
  enum eError : int32_t {
    ERR_NONE = 0,
    ERR_EMPTY_PASSWORD = 1,  // a zero-length key cannot be cycled through the key schedule
    ERR_EMPTY_SETTING = 2,   // nothing to encrypt, or nothing to decrypt
    ERR_BAD_BASE64 = 3,      // the string is not Base64
    ERR_BAD_LENGTH = 4,      // the decoded bytes are not whole cipher blocks
  };

  // Key setup with the password, encipher the setting's bytes, Base64. Fails for an empty
  // setting or password, leaving encoded untouched.
  bool EncryptSetting(std::string_view setting, std::string_view password, std::string& encoded);
  // The inverse for readers: Base64-decode, decipher with the same password, and keep the text
  // up to the first zero byte. Fails, leaving setting untouched, for an empty password or a
  // string that encryption cannot have produced.
  bool DecryptSetting(std::string_view encoded, std::string_view password, std::string& setting);

  // The reason of the last failure; a success does not clear it.
  int32_t GetLastError() const { return m_nLastError; }
  static const char* ErrorText(int32_t nError);

 private:
  bool Fail(int32_t nError);

  int32_t m_nLastError = ERR_NONE;
};
