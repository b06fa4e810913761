#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "encrypt/cBlowfish.h"
#include "encrypt/cSettingsCipher.h"
#include "util/cBase64.h"

namespace {

std::string Encrypt(const std::string& setting, const std::string& password) {
  cSettingsCipher cipher;
  std::string encoded;
  EXPECT_TRUE(cipher.EncryptSetting(setting, password, encoded)) << setting;
  return encoded;
}

std::string Decrypt(const std::string& encoded, const std::string& password) {
  cSettingsCipher cipher;
  std::string setting;
  EXPECT_TRUE(cipher.DecryptSetting(encoded, password, setting)) << encoded;
  return setting;
}

TEST(SettingsCipher, IsBlowfishOverZeroPaddedBytesThenBase64) {
  const std::string password = "s3cret";
  const std::string setting = "sip.example.com:5060";
  cBlowfish blowfish;
  blowfish.KeySetup({reinterpret_cast<const uint8_t*>(password.data()), password.size()});
  std::vector<uint8_t> cipherText;
  blowfish.Encode({reinterpret_cast<const uint8_t*>(setting.data()), setting.size()}, cipherText);
  EXPECT_EQ(cipherText.size(), 24u);
  EXPECT_EQ(Encrypt(setting, password), cBase64::Encode(cipherText));
}

TEST(SettingsCipher, StringLengthFollowsTheBlocks) {
  // 1 to 7 bytes: one block, 12 characters ending in "="; 8 bytes the same.
  for (size_t n = 1; n <= 8; ++n) {
    const std::string encoded = Encrypt(std::string(n, 'u'), "pw");
    EXPECT_EQ(encoded.size(), 12u) << n;
    EXPECT_EQ(encoded.substr(11), "=") << n;
    EXPECT_NE(encoded[10], '=') << n;
  }
  // 9 bytes: two blocks, 24 characters. Sixteen bytes leave one byte in the last Base64 group,
  // so the string ends in "==".
  const std::string nine = Encrypt("123456789", "pw");
  EXPECT_EQ(nine.size(), 24u);
  EXPECT_EQ(nine.substr(22), "==");
  EXPECT_NE(nine, Encrypt("12345678", "pw"));
  EXPECT_EQ(Encrypt(std::string(24, 'x'), "pw").size(), 32u);
}

TEST(SettingsCipher, SameInputsSameStringOtherPasswordOtherString) {
  const std::string setting = "alice";
  EXPECT_EQ(Encrypt(setting, "one"), Encrypt(setting, "one"));
  EXPECT_NE(Encrypt(setting, "one"), Encrypt(setting, "two"));
  EXPECT_NE(Encrypt(setting, "one"), Encrypt("alicf", "one"));
  // A password of one character is a valid key.
  EXPECT_EQ(Decrypt(Encrypt(setting, "x"), "x"), setting);
}

TEST(SettingsCipher, PasswordBytesBeyondThe72ndHaveNoEffect) {
  std::string password;
  for (int i = 0; i < 90; ++i) password.push_back(static_cast<char>('!' + i));
  const std::string setting = "Display Name";
  EXPECT_EQ(Encrypt(setting, password), Encrypt(setting, password.substr(0, 72)));
  EXPECT_EQ(Encrypt(setting, password.substr(0, 73)), Encrypt(setting, password.substr(0, 72)));
  EXPECT_NE(Encrypt(setting, password.substr(0, 72)), Encrypt(setting, password.substr(0, 71)));
}

TEST(SettingsCipher, EmptySettingOrPasswordGivesNoString) {
  cSettingsCipher cipher;
  std::string encoded = "previous";
  EXPECT_FALSE(cipher.EncryptSetting("", "pw", encoded));
  EXPECT_EQ(cipher.GetLastError(), cSettingsCipher::ERR_EMPTY_SETTING);
  EXPECT_FALSE(cipher.EncryptSetting("alice", "", encoded));
  EXPECT_EQ(cipher.GetLastError(), cSettingsCipher::ERR_EMPTY_PASSWORD);
  EXPECT_EQ(encoded, "previous");
  // A success does not clear the reason of the last failure.
  EXPECT_TRUE(cipher.EncryptSetting("alice", "pw", encoded));
  EXPECT_EQ(cipher.GetLastError(), cSettingsCipher::ERR_EMPTY_PASSWORD);
}

TEST(SettingsCipher, DecryptRefusesStringsEncryptionCannotProduce) {
  cSettingsCipher cipher;
  std::string setting = "untouched";
  EXPECT_FALSE(cipher.DecryptSetting("", "pw", setting));
  EXPECT_EQ(cipher.GetLastError(), cSettingsCipher::ERR_EMPTY_SETTING);
  EXPECT_FALSE(cipher.DecryptSetting(Encrypt("alice", "pw"), "", setting));
  EXPECT_EQ(cipher.GetLastError(), cSettingsCipher::ERR_EMPTY_PASSWORD);
  EXPECT_FALSE(cipher.DecryptSetting("not base64!", "pw", setting));
  EXPECT_EQ(cipher.GetLastError(), cSettingsCipher::ERR_BAD_BASE64);
  EXPECT_FALSE(cipher.DecryptSetting(Encrypt("alice", "pw").substr(0, 8), "pw", setting));
  EXPECT_EQ(cipher.GetLastError(), cSettingsCipher::ERR_BAD_LENGTH);
  EXPECT_FALSE(cipher.DecryptSetting("QUJD", "pw", setting));  // 3 bytes
  EXPECT_EQ(cipher.GetLastError(), cSettingsCipher::ERR_BAD_LENGTH);
  EXPECT_EQ(setting, "untouched");
  EXPECT_STRNE(cSettingsCipher::ErrorText(cSettingsCipher::ERR_BAD_BASE64),
               cSettingsCipher::ErrorText(cSettingsCipher::ERR_BAD_LENGTH));
}

TEST(SettingsCipher, DecryptedTextEndsAtTheFirstZeroByte) {
  // Zero padding cannot be told from zero bytes in the setting, so a reader stops at the first.
  EXPECT_EQ(Decrypt(Encrypt(std::string("ab\0cd", 5), "pw"), "pw"), "ab");
  // The wrong password deciphers to something else, not to the setting.
  cSettingsCipher cipher;
  std::string wrong;
  cipher.DecryptSetting(Encrypt("alice@example.com", "right"), "wrong", wrong);
  EXPECT_NE(wrong, "alice@example.com");
}

TEST(SettingsCipher, RoundTripsRandomSettingsAndPasswords) {
  std::mt19937 random(20240607);
  std::uniform_int_distribution<int> byte(1, 255);
  std::uniform_int_distribution<size_t> settingLength(1, 200);
  std::uniform_int_distribution<size_t> passwordLength(1, 100);
  for (int round = 0; round < 300; ++round) {
    std::string setting(settingLength(random), ' ');
    for (char& c : setting) c = static_cast<char>(byte(random));
    std::string password(passwordLength(random), ' ');
    for (char& c : password) c = static_cast<char>(byte(random) - 1);  // zero bytes count too
    const std::string encoded = Encrypt(setting, password);
    EXPECT_EQ(encoded.size(), cBase64::EncodedLength(cBlowfish::CipherLength(setting.size())));
    EXPECT_EQ(Decrypt(encoded, password), setting) << "round " << round;
  }
}

TEST(SettingsCipher, SettingsOfAnyLengthWork) {
  // 3,744 bytes was the most a fixed 5,000-character output buffer could hold; nothing stops at
  // that length any more.
  for (size_t n : {3744u, 3745u, 3752u, 5000u, 100000u}) {
    std::string setting(n, ' ');
    for (size_t i = 0; i < n; ++i) setting[i] = static_cast<char>('a' + i % 26);
    const std::string encoded = Encrypt(setting, "long");
    EXPECT_EQ(encoded.size(), (cBlowfish::CipherLength(n) + 2) / 3 * 4) << n;
    EXPECT_EQ(Decrypt(encoded, "long"), setting) << n;
  }
  EXPECT_EQ(Encrypt(std::string(3744, 'z'), "pw").size(), 4992u);
}

}  // namespace
