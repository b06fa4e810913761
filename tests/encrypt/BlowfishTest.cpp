#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "encrypt/BlowfishPi.h"
#include "encrypt/cBlowfish.h"

namespace {

std::vector<uint8_t> FromHex(const std::string& hex) {
  std::vector<uint8_t> bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::string ToHex(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::string hex;
  for (uint8_t b : bytes) {
    hex.push_back(kDigits[b >> 4]);
    hex.push_back(kDigits[b & 0xF]);
  }
  return hex;
}

// The published vectors write a block big-endian, left half first. Our blocks store each half
// little-endian, so the same block reads with the bytes of each half reversed.
std::vector<uint8_t> ToLittleEndianHalves(std::vector<uint8_t> block) {
  for (size_t offset = 0; offset < block.size(); offset += 4) {
    std::swap(block[offset], block[offset + 3]);
    std::swap(block[offset + 1], block[offset + 2]);
  }
  return block;
}

struct sEcbVector {
  const char* pKey;
  const char* pClear;
  const char* pCipher;
};

// Eric Young's ECB test data for Blowfish, as published with the algorithm.
const sEcbVector kEcbVectors[] = {
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FFFFFFFFFFFFFFFF", "FFFFFFFFFFFFFFFF", "51866FD5B85ECB8A"},
    {"3000000000000000", "1000000000000001", "7D856F9A613063F2"},
    {"1111111111111111", "1111111111111111", "2466DD878B963C9D"},
    {"0123456789ABCDEF", "1111111111111111", "61F9C3802281B096"},
    {"1111111111111111", "0123456789ABCDEF", "7D0CC630AFDA1EC7"},
    {"0000000000000000", "0000000000000000", "4EF997456198DD78"},
    {"FEDCBA9876543210", "0123456789ABCDEF", "0ACEAB0FC6A0A28D"},
    {"7CA110454A1A6E57", "01A1D6D039776742", "59C68245EB05282B"},
    {"0131D9619DC1376E", "5CD54CA83DEF57DA", "B1B8CC0B250F09A0"},
    {"07A1133E4A0B2686", "0248D43806F67172", "1730E5778BEA1DA4"},
    {"3849674C2602319E", "51454B582DDF440A", "A25E7856CF2651EB"},
    {"04B915BA43FEB5B6", "42FD443059577FA2", "353882B109CE8F1A"},
    {"0113B970FD34F2CE", "059B5E0851CF143A", "48F4D0884C379918"},
    {"0170F175468FB5E6", "0756D8E0774761D2", "432193B78951FC98"},
    {"43297FAD38E373FE", "762514B829BF486A", "13F04154D69D1AE5"},
    {"07A7137045DA2A16", "3BDD119049372802", "2EEDDA93FFD39C79"},
    {"04689104C2FD3B2F", "26955F6835AF609A", "D887E0393C2DA6E3"},
    {"37D06BB516CB7546", "164D5E404F275232", "5F99D04F5B163969"},
    {"1F08260D1AC2465E", "6B056E18759F5CCA", "4A057A3B24D3977B"},
    {"584023641ABA6176", "004BD6EF09176062", "452031C1E4FADA8E"},
    {"025816164629B007", "480D39006EE762F2", "7555AE39F59B87BD"},
    {"49793EBC79B3258F", "437540C8698F3CFA", "53C55F9CB49FC019"},
    {"4FB05E1515AB73A7", "072D43A077075292", "7A8E7BFA937E89A3"},
    {"49E95D6D4CA229BF", "02FE55778117F12A", "CF9C5D7A4986ADB5"},
    {"018310DC409B26D6", "1D9D5C5018F728C2", "D1ABB290658BC778"},
    {"1C587F1C13924FEF", "305532286D6F295A", "55CB3774D13EF201"},
    {"0101010101010101", "0123456789ABCDEF", "FA34EC4847B268B2"},
    {"1F1F1F1F0E0E0E0E", "0123456789ABCDEF", "A790795108EA3CAE"},
    {"E0FEE0FEF1FEF1FE", "0123456789ABCDEF", "C39E072D9FAC631D"},
    {"0000000000000000", "FFFFFFFFFFFFFFFF", "014933E0CDAFF6E4"},
    {"FFFFFFFFFFFFFFFF", "0000000000000000", "F21E9A77B71C49BC"},
    {"0123456789ABCDEF", "0000000000000000", "245946885754369A"},
    {"FEDCBA9876543210", "FFFFFFFFFFFFFFFF", "6B5C5A9C5D9E0A5A"},
};

// Eric Young's key-length data: block FEDCBA9876543210 under the first n bytes of one key.
const char* const kLongKey = "F0E1D2C3B4A5968778695A4B3C2D1E0F0011223344556677";
const char* const kSetKeyCiphers[] = {
    "F9AD597C49DB005E", "E91D21C1D961A6D6", "E9C2B70A1BC65CF3", "BE1E639408640F05",
    "B39E44481BDB1E6E", "9457AA83B1928C0D", "8BB77032F960629D", "E87A244E2CC85E82",
    "15750E7A4F4EC577", "122BA70B3AB64AE0", "3A833C9AFFC537F6", "9409DA87A90F6BF2",
    "884F80625060B8B4", "1F85031C19E11968", "79D9373A714CA34F", "93142887EE3BE15C",
    "03429E838CE2D14B", "A4299E27469FF67B", "AFD5AED1C1BC96A8", "10851C0E3858DA9F",
    "E6F51ED79B9DB21F", "64A6E14AFD36B46F", "80C7D7D45A5479AD", "05044B62FA52D080",
};

// Enciphers one published block through Encode, in our byte layout, and deciphers it back.
void ExpectPublishedBlock(const std::vector<uint8_t>& key, const std::string& clearHex,
                          const std::string& cipherHex) {
  cBlowfish cipher;
  ASSERT_TRUE(cipher.KeySetup(key));
  const std::vector<uint8_t> clear = ToLittleEndianHalves(FromHex(clearHex));
  std::vector<uint8_t> encoded;
  EXPECT_EQ(cipher.Encode(clear, encoded), 8u);
  EXPECT_EQ(ToHex(ToLittleEndianHalves(encoded)), cipherHex) << "key " << ToHex(key);
  std::vector<uint8_t> decoded;
  ASSERT_TRUE(cipher.Decode(encoded, decoded));
  EXPECT_EQ(decoded, clear);
}

TEST(BlowfishVectors, EricYoungEcbVectorsThroughLittleEndianBlocks) {
  for (const sEcbVector& v : kEcbVectors) {
    ExpectPublishedBlock(FromHex(v.pKey), v.pClear, v.pCipher);
  }
}

TEST(BlowfishVectors, EricYoungKeyLengthVectors) {
  const std::vector<uint8_t> longKey = FromHex(kLongKey);
  for (size_t n = 1; n <= longKey.size(); ++n) {
    ExpectPublishedBlock({longKey.begin(), longKey.begin() + n}, "FEDCBA9876543210",
                         kSetKeyCiphers[n - 1]);
  }
}

TEST(BlowfishVectors, BlockHalvesAreLittleEndianWords) {
  // Vector 8 once more, by words: left = bytes 0..3 little-endian, right = bytes 4..7.
  cBlowfish cipher;
  ASSERT_TRUE(cipher.KeySetup(FromHex("FEDCBA9876543210")));
  uint32_t uLeft = 0x01234567;
  uint32_t uRight = 0x89ABCDEF;
  cipher.EncipherBlock(uLeft, uRight);
  EXPECT_EQ(uLeft, 0x0ACEAB0Fu);
  EXPECT_EQ(uRight, 0xC6A0A28Du);

  std::vector<uint8_t> encoded;
  cipher.Encode(std::vector<uint8_t>{0x67, 0x45, 0x23, 0x01, 0xEF, 0xCD, 0xAB, 0x89}, encoded);
  EXPECT_EQ(ToHex(encoded), "0FABCE0A8DA2A0C6");
  // Fed in the published byte order instead, the same bytes give something else.
  cipher.Encode(FromHex("0123456789ABCDEF"), encoded);
  EXPECT_NE(ToHex(encoded), "0ACEAB0FC6A0A28D");

  cipher.DecipherBlock(uLeft, uRight);
  EXPECT_EQ(uLeft, 0x01234567u);
  EXPECT_EQ(uRight, 0x89ABCDEFu);
}

TEST(BlowfishCodec, PadsWithZerosToWholeBlocks) {
  cBlowfish cipher;
  ASSERT_TRUE(cipher.KeySetup(FromHex("0123456789ABCDEF")));
  std::vector<uint8_t> encoded;
  EXPECT_EQ(cipher.Encode({}, encoded), 0u);
  EXPECT_TRUE(encoded.empty());
  for (size_t n = 1; n <= 17; ++n) {
    const std::vector<uint8_t> plain(n, 0x41);
    EXPECT_EQ(cipher.Encode(plain, encoded), cBlowfish::CipherLength(n));
    EXPECT_EQ(encoded.size(), (n + 7) / 8 * 8);
    std::vector<uint8_t> padded = plain;
    padded.resize(encoded.size(), 0);
    std::vector<uint8_t> explicitZeros;
    cipher.Encode(padded, explicitZeros);
    EXPECT_EQ(encoded, explicitZeros) << n;
    std::vector<uint8_t> decoded;
    ASSERT_TRUE(cipher.Decode(encoded, decoded));
    EXPECT_EQ(decoded, padded);
  }
}

TEST(BlowfishCodec, BlocksAreEncipheredIndependently) {
  cBlowfish cipher;
  ASSERT_TRUE(cipher.KeySetup(FromHex("0123456789ABCDEF")));
  const std::vector<uint8_t> block = {1, 2, 3, 4, 5, 6, 7, 8};
  std::vector<uint8_t> twice = block;
  twice.insert(twice.end(), block.begin(), block.end());
  std::vector<uint8_t> one;
  std::vector<uint8_t> two;
  cipher.Encode(block, one);
  cipher.Encode(twice, two);
  ASSERT_EQ(two.size(), 16u);
  EXPECT_TRUE(std::equal(one.begin(), one.end(), two.begin()));
  EXPECT_TRUE(std::equal(one.begin(), one.end(), two.begin() + 8));
}

TEST(BlowfishCodec, RefusesBrokenBlocksAndEmptyKeys) {
  cBlowfish cipher;
  EXPECT_FALSE(cipher.KeySetup({}));
  ASSERT_TRUE(cipher.KeySetup(FromHex("01")));
  std::vector<uint8_t> decoded = {9};
  for (size_t n : {1u, 7u, 9u, 15u}) {
    EXPECT_FALSE(cipher.Decode(std::vector<uint8_t>(n, 0), decoded)) << n;
  }
}

TEST(BlowfishKey, OnlyTheFirst72KeyBytesCount) {
  std::vector<uint8_t> key(100);
  for (size_t i = 0; i < key.size(); ++i) key[i] = static_cast<uint8_t>(i * 7 + 1);
  const std::vector<uint8_t> plain = FromHex("0011223344556677");
  const auto encode = [&](size_t nKeyBytes) {
    cBlowfish cipher;
    cipher.KeySetup({key.data(), nKeyBytes});
    std::vector<uint8_t> encoded;
    cipher.Encode(plain, encoded);
    return encoded;
  };
  EXPECT_EQ(encode(100), encode(72));
  EXPECT_EQ(encode(73), encode(72));
  EXPECT_NE(encode(72), encode(71));
}

TEST(BlowfishKey, KeySetupStartsAfreshEachTime) {
  cBlowfish reused;
  reused.KeySetup(FromHex("FFFFFFFFFFFFFFFF"));
  reused.KeySetup(FromHex("0000000000000000"));
  uint32_t uLeft = 0;
  uint32_t uRight = 0;
  reused.EncipherBlock(uLeft, uRight);
  EXPECT_EQ(uLeft, 0x4EF99745u);
  EXPECT_EQ(uRight, 0x6198DD78u);
}

// The start values are pi's fractional hex digits: check them against the published first words
// and, independently of the generator, against digits found by the Bailey-Borwein-Plouffe formula.
uint64_t PowerOf16Mod(uint64_t nExponent, uint64_t nModulus) {
  uint64_t result = 1 % nModulus;
  uint64_t base = 16 % nModulus;
  for (; nExponent > 0; nExponent >>= 1) {
    if (nExponent & 1) result = result * base % nModulus;
    base = base * base % nModulus;
  }
  return result;
}

// Fractional part of sum over k of 16^(d-k) / (8k + j).
double BbpSeries(int j, int64_t d) {
  double sum = 0;
  for (int64_t k = 0; k <= d; ++k) {
    const uint64_t denominator = static_cast<uint64_t>(8 * k + j);
    sum += static_cast<double>(PowerOf16Mod(static_cast<uint64_t>(d - k), denominator)) /
           static_cast<double>(denominator);
    sum -= std::floor(sum);
  }
  for (int64_t k = d + 1; k <= d + 20; ++k) {
    sum += std::pow(16.0, static_cast<double>(d - k)) / static_cast<double>(8 * k + j);
  }
  return sum - std::floor(sum);
}

// The four hex digits of pi starting at fractional digit d (d = 0 is the first after the point).
uint32_t PiHexDigitsAt(int64_t d) {
  double x = 4 * BbpSeries(1, d) - 2 * BbpSeries(4, d) - BbpSeries(5, d) - BbpSeries(6, d);
  x -= std::floor(x);
  return static_cast<uint32_t>(x * 65536.0);
}

TEST(BlowfishStartValues, ArePiHexDigits) {
  EXPECT_EQ(kBlowfishInitP[0], 0x243F6A88u);
  EXPECT_EQ(kBlowfishInitP[1], 0x85A308D3u);
  EXPECT_EQ(kBlowfishInitP[2], 0x13198A2Eu);
  EXPECT_EQ(kBlowfishInitP[3], 0x03707344u);
  EXPECT_EQ(kBlowfishInitS[0][0], 0xD1310BA6u);
  EXPECT_EQ(kBlowfishInitS[0][1], 0x98DFB5ACu);

  std::vector<uint32_t> words(std::begin(kBlowfishInitP), std::end(kBlowfishInitP));
  for (const auto& box : kBlowfishInitS) words.insert(words.end(), std::begin(box), std::end(box));
  ASSERT_EQ(words.size(), 18u + 4 * 256);
  std::vector<size_t> sampled;
  for (size_t w = 0; w < words.size(); w += 29) sampled.push_back(w);
  sampled.push_back(words.size() - 1);
  for (size_t w : sampled) {
    EXPECT_EQ(words[w] >> 16, PiHexDigitsAt(static_cast<int64_t>(8 * w))) << "word " << w;
  }
}

}  // namespace
