#include <gtest/gtest.h>

#include <string>

#include "sip/cMd5c.h"
#include "tests/support/MessageText.h"

// The test suite of RFC 1321, appendix A.5.
TEST(Md5Test, Rfc1321Suite) {
  EXPECT_EQ(kyttest::Md5Hex(""), "d41d8cd98f00b204e9800998ecf8427e");
  EXPECT_EQ(kyttest::Md5Hex("a"), "0cc175b9c0f1b6a831c399e269772661");
  EXPECT_EQ(kyttest::Md5Hex("abc"), "900150983cd24fb0d6963f7d28e17f72");
  EXPECT_EQ(kyttest::Md5Hex("message digest"), "f96b697d7cb7938d525a2f31aaf161d0");
  EXPECT_EQ(kyttest::Md5Hex("abcdefghijklmnopqrstuvwxyz"), "c3fcd3d76192e4007dfb496cca67e13b");
  EXPECT_EQ(kyttest::Md5Hex("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789"),
            "d174ab98d277d9f5a5611c2c9f419d9f");
  EXPECT_EQ(kyttest::Md5Hex(
                "1234567890123456789012345678901234567890123456789012345678901234567890123456789"
                "0"),
            "57edf4a22be3c955ac49da2e2107b67a");
}

// Lengths around the padding boundaries: 55 bytes still fit the length into the last block,
// 56 and 63 need an extra block, 64 and 120 fill blocks exactly.
TEST(Md5Test, PaddingBoundaries) {
  EXPECT_EQ(kyttest::Md5Hex(std::string(55, 'a')), "ef1772b6dff9a122358552954ad0df65");
  EXPECT_EQ(kyttest::Md5Hex(std::string(56, 'a')), "3b0c8ac703f828b04c6c197006d17218");
  EXPECT_EQ(kyttest::Md5Hex(std::string(63, 'a')), "b06521f39153d618550606be297466d5");
  EXPECT_EQ(kyttest::Md5Hex(std::string(64, 'a')), "014842d480b571495a4a0363793f7367");
  EXPECT_EQ(kyttest::Md5Hex(std::string(65, 'a')), "c743a45e0d2e6a95cb859adae0248435");
  EXPECT_EQ(kyttest::Md5Hex(std::string(119, 'a')), "8a7bd0732ed6a28ce75f6dabc90e1613");
  EXPECT_EQ(kyttest::Md5Hex(std::string(120, 'a')), "5f61c0ccad4cac44c75ff505e1f1e537");
  EXPECT_EQ(kyttest::Md5Hex(std::string(1000, 'a')), "cabe45dcc9ae5b66ba86600cca6b8ba8");
}

// Binary input fed in pieces of every awkward size gives the same digest as in one go, and the
// context is ready for the next message after MD5Final.
TEST(Md5Test, StreamingInPiecesAndReuse) {
  std::string data;
  for (int r = 0; r < 4; ++r)
    for (int i = 0; i < 256; ++i) data.push_back(static_cast<char>(i));
  const char* kExpected = "b2ea9f7fcea831a4a63b213f41a8855b";
  EXPECT_EQ(kyttest::Md5Hex(data), kExpected);

  cMd5c md5;
  for (size_t nPiece : {1u, 3u, 63u, 64u, 65u, 200u}) {
    md5.MD5Init();
    for (size_t nPos = 0; nPos < data.size(); nPos += nPiece)
      md5.MD5Update(data.data() + nPos, std::min(nPiece, data.size() - nPos));
    uint8_t digest[16];
    md5.MD5Final(digest);
    char hex[33];
    for (int i = 0; i < 16; ++i) snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    EXPECT_STREQ(hex, kExpected) << "piece size " << nPiece;
    // After MD5Final the context starts over without an explicit MD5Init.
    md5.MD5Update("abc", 3);
    md5.MD5Final(digest);
    for (int i = 0; i < 16; ++i) snprintf(hex + 2 * i, 3, "%02x", digest[i]);
    EXPECT_STREQ(hex, "900150983cd24fb0d6963f7d28e17f72");
  }
}
