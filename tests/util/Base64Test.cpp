#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "util/cBase64.h"

namespace {

std::vector<uint8_t> Bytes(std::string_view text) { return {text.begin(), text.end()}; }

// RFC 4648, section 10: one vector for every remainder of the length modulo three.
const std::pair<const char*, const char*> kRfcVectors[] = {
    {"", ""},
    {"f", "Zg=="},
    {"fo", "Zm8="},
    {"foo", "Zm9v"},
    {"foob", "Zm9vYg=="},
    {"fooba", "Zm9vYmE="},
    {"foobar", "Zm9vYmFy"},
};

TEST(Base64, EncodesTheRfc4648Vectors) {
  for (const auto& [pPlain, pEncoded] : kRfcVectors) {
    EXPECT_EQ(cBase64::Encode(Bytes(pPlain)), pEncoded) << '"' << pPlain << '"';
  }
}

TEST(Base64, DecodesTheRfc4648Vectors) {
  for (const auto& [pPlain, pEncoded] : kRfcVectors) {
    std::vector<uint8_t> decoded = {0xEE};
    ASSERT_TRUE(cBase64::Decode(pEncoded, decoded)) << pEncoded;
    EXPECT_EQ(decoded, Bytes(pPlain));
  }
}

TEST(Base64, UsesTheWholeStandardAlphabetWithoutLineBreaks) {
  // 48 bytes counting 0, 4, 8, ... put every sextet value 0..63 in order.
  std::vector<uint8_t> bytes;
  for (uint32_t sextet = 0; sextet < 64; sextet += 4) {
    const uint32_t bits = sextet << 18 | (sextet + 1) << 12 | (sextet + 2) << 6 | (sextet + 3);
    bytes.push_back(static_cast<uint8_t>(bits >> 16));
    bytes.push_back(static_cast<uint8_t>(bits >> 8));
    bytes.push_back(static_cast<uint8_t>(bits));
  }
  EXPECT_EQ(cBase64::Encode(bytes),
            "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/");
  const std::string longText = cBase64::Encode(std::vector<uint8_t>(3000, 0xFF));
  EXPECT_EQ(longText.size(), 4000u);
  EXPECT_EQ(longText.find_first_not_of('/'), std::string::npos);
}

TEST(Base64, LengthIsFourCharactersPerStartedGroupForEveryLength) {
  for (size_t n = 0; n <= 64; ++n) {
    std::vector<uint8_t> bytes(n);
    for (size_t i = 0; i < n; ++i) bytes[i] = static_cast<uint8_t>(i * 37 + 11);
    const std::string text = cBase64::Encode(bytes);
    EXPECT_EQ(text.size(), (n + 2) / 3 * 4) << n;
    EXPECT_EQ(text.size(), cBase64::EncodedLength(n));
    const size_t nPad = text.size() - text.find_last_not_of('=') - 1;
    EXPECT_EQ(nPad, n == 0 ? 0 : (3 - n % 3) % 3) << n;
    std::vector<uint8_t> decoded;
    ASSERT_TRUE(cBase64::Decode(text, decoded)) << text;
    EXPECT_EQ(decoded, bytes);
  }
}

TEST(Base64, RefusesWhatEncodeCannotProduce) {
  const char* const kBroken[] = {
      "Zg",        // not a whole group
      "Zm9vY",     // not a whole group
      "Zm9v\n",    // line break
      "Zm 9",      // space
      "Zm9-",      // URL-safe alphabet
      "Zm9_",      // URL-safe alphabet
      "Z===",      // too much padding
      "====",      // padding only
      "Zg==Zm8=",  // padding inside the text
      "Zm=v",      // padding before data
      "Zh==",      // bits under the padding
      "Zm9=",      // bits under the padding
      "Zm8\x80",   // 8-bit character
  };
  for (const char* pText : kBroken) {
    std::vector<uint8_t> decoded = {1, 2, 3};
    EXPECT_FALSE(cBase64::Decode(pText, decoded)) << pText;
    EXPECT_TRUE(decoded.empty()) << pText;
  }
}

}  // namespace
