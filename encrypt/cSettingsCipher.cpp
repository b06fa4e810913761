#include "encrypt/cSettingsCipher.h"

#include <algorithm>
#include <span>
#include <vector>

#include "encrypt/cBlowfish.h"
#include "util/cBase64.h"

namespace {

std::span<const uint8_t> BytesOf(std::string_view text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}

}  // namespace

bool cSettingsCipher::Fail(int32_t nError) {
  m_nLastError = nError;
  return false;
}

bool cSettingsCipher::EncryptSetting(std::string_view setting, std::string_view password,
                                     std::string& encoded) {
  if (password.empty()) return Fail(ERR_EMPTY_PASSWORD);
  if (setting.empty()) return Fail(ERR_EMPTY_SETTING);
  // The key state lives only for this one setting.
  cBlowfish cipher;
  cipher.KeySetup(BytesOf(password));
  std::vector<uint8_t> cipherText;
  cipher.Encode(BytesOf(setting), cipherText);
  encoded = cBase64::Encode(cipherText);
  return true;
}

bool cSettingsCipher::DecryptSetting(std::string_view encoded, std::string_view password,
                                     std::string& setting) {
  if (password.empty()) return Fail(ERR_EMPTY_PASSWORD);
  if (encoded.empty()) return Fail(ERR_EMPTY_SETTING);
  std::vector<uint8_t> cipherText;
  if (!cBase64::Decode(encoded, cipherText)) return Fail(ERR_BAD_BASE64);
  if (cipherText.size() % cBlowfish::BLOCK_SIZE != 0) return Fail(ERR_BAD_LENGTH);
  cBlowfish cipher;
  cipher.KeySetup(BytesOf(password));
  std::vector<uint8_t> plain;
  cipher.Decode(cipherText, plain);
  const auto end = std::find(plain.begin(), plain.end(), uint8_t{0});
  setting.assign(plain.begin(), end);
  return true;
}

const char* cSettingsCipher::ErrorText(int32_t nError) {
  switch (nError) {
    case ERR_NONE:
      return "no error";
    case ERR_EMPTY_PASSWORD:
      return "empty password";
    case ERR_EMPTY_SETTING:
      return "empty setting";
    case ERR_BAD_BASE64:
      return "not a Base64 string";
    case ERR_BAD_LENGTH:
      return "not a whole number of cipher blocks";
    default:
      return "unknown error";
  }
}
