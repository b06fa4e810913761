#include "sip/cMd5c.h"

#include <cstring>

#include "platform/cRandom.h"

namespace {

constexpr uint32_t kSine[64] = {
    0xd76aa478, 0xe8c7b756, 0x242070db, 0xc1bdceee, 0xf57c0faf, 0x4787c62a, 0xa8304613, 0xfd469501,
    0x698098d8, 0x8b44f7af, 0xffff5bb1, 0x895cd7be, 0x6b901122, 0xfd987193, 0xa679438e, 0x49b40821,
    0xf61e2562, 0xc040b340, 0x265e5a51, 0xe9b6c7aa, 0xd62f105d, 0x02441453, 0xd8a1e681, 0xe7d3fbc8,
    0x21e1cde6, 0xc33707d6, 0xf4d50d87, 0x455a14ed, 0xa9e3e905, 0xfcefa3f8, 0x676f02d9, 0x8d2a4c8a,
    0xfffa3942, 0x8771f681, 0x6d9d6122, 0xfde5380c, 0xa4beea44, 0x4bdecfa9, 0xf6bb4b60, 0xbebfbc70,
    0x289b7ec6, 0xeaa127fa, 0xd4ef3085, 0x04881d05, 0xd9d4d039, 0xe6db99e5, 0x1fa27cf8, 0xc4ac5665,
    0xf4292244, 0x432aff97, 0xab9423a7, 0xfc93a039, 0x655b59c3, 0x8f0ccc92, 0xffeff47d, 0x85845dd1,
    0x6fa87e4f, 0xfe2ce6e0, 0xa3014314, 0x4e0811a1, 0xf7537e82, 0xbd3af235, 0x2ad7d2bb, 0xeb86d391};

constexpr uint8_t kShift[64] = {7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22, 7, 12, 17, 22,
                                5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20, 5, 9,  14, 20,
                                4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23, 4, 11, 16, 23,
                                6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21, 6, 10, 15, 21};

uint32_t RotateLeft(uint32_t x, uint32_t n) { return (x << n) | (x >> (32 - n)); }

void ToHex(const uint8_t digest[16], cKytSTR& hexOut) {
  static const char kDigits[] = "0123456789abcdef";
  char text[33];
  for (int i = 0; i < 16; ++i) {
    text[2 * i] = kDigits[digest[i] >> 4];
    text[2 * i + 1] = kDigits[digest[i] & 0x0f];
  }
  text[32] = '\0';
  hexOut = text;
}

}  // namespace

cMd5c::cMd5c() { MD5Init(); }

void cMd5c::MD5Init() {
  m_nState[0] = 0x67452301;
  m_nState[1] = 0xefcdab89;
  m_nState[2] = 0x98badcfe;
  m_nState[3] = 0x10325476;
  m_nBitCount = 0;
  memset(m_Buffer, 0, sizeof(m_Buffer));
}

void cMd5c::MD5Update(const void* pData, size_t nLen) {
  const uint8_t* p = static_cast<const uint8_t*>(pData);
  size_t nUsed = static_cast<size_t>((m_nBitCount >> 3) & 0x3f);
  m_nBitCount += static_cast<uint64_t>(nLen) << 3;
  if (nUsed > 0) {
    size_t nFree = 64 - nUsed;
    if (nLen < nFree) {
      memcpy(m_Buffer + nUsed, p, nLen);
      return;
    }
    memcpy(m_Buffer + nUsed, p, nFree);
    Transform(m_Buffer);
    p += nFree;
    nLen -= nFree;
  }
  for (; nLen >= 64; p += 64, nLen -= 64) Transform(p);
  memcpy(m_Buffer, p, nLen);
}

void cMd5c::MD5Final(uint8_t digest[16]) {
  uint8_t length[8];
  for (int i = 0; i < 8; ++i) length[i] = static_cast<uint8_t>(m_nBitCount >> (8 * i));
  // One 0x80 byte, zeros up to 56 mod 64, then the bit length little-endian.
  static const uint8_t kPadding[64] = {0x80};
  size_t nUsed = static_cast<size_t>((m_nBitCount >> 3) & 0x3f);
  MD5Update(kPadding, nUsed < 56 ? 56 - nUsed : 120 - nUsed);
  MD5Update(length, 8);
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) digest[4 * i + j] = static_cast<uint8_t>(m_nState[i] >> (8 * j));
  MD5Init();
}

void cMd5c::Transform(const uint8_t block[64]) {
  uint32_t x[16];
  for (int i = 0; i < 16; ++i)
    x[i] = static_cast<uint32_t>(block[4 * i]) | (static_cast<uint32_t>(block[4 * i + 1]) << 8) |
           (static_cast<uint32_t>(block[4 * i + 2]) << 16) |
           (static_cast<uint32_t>(block[4 * i + 3]) << 24);
  uint32_t a = m_nState[0], b = m_nState[1], c = m_nState[2], d = m_nState[3];
  for (int i = 0; i < 64; ++i) {
    uint32_t f;
    int g;
    if (i < 16) {
      f = (b & c) | (~b & d);
      g = i;
    } else if (i < 32) {
      f = (b & d) | (c & ~d);
      g = (5 * i + 1) % 16;
    } else if (i < 48) {
      f = b ^ c ^ d;
      g = (3 * i + 5) % 16;
    } else {
      f = c ^ (b | ~d);
      g = (7 * i) % 16;
    }
    uint32_t nNext = b + RotateLeft(a + f + kSine[i] + x[g], kShift[i]);
    a = d;
    d = c;
    c = b;
    b = nNext;
  }
  m_nState[0] += a;
  m_nState[1] += b;
  m_nState[2] += c;
  m_nState[3] += d;
}

void cMd5c::HashHex(const void* pData, size_t nLen, cKytSTR& hexOut) {
  uint8_t digest[16];
  MD5Init();
  MD5Update(pData, nLen);
  MD5Final(digest);
  ToHex(digest, hexOut);
}

void cMd5c::HashHex(const cKytSTR& text, cKytSTR& hexOut) {
  HashHex(text.GetDATA(), text.GetLEN(), hexOut);
}

void cMd5c::HashJoined(const cKytSTR* const* ppParts, size_t nParts, cKytSTR& hexOut) {
  uint8_t digest[16];
  MD5Init();
  for (size_t i = 0; i < nParts; ++i) {
    if (i > 0) MD5Update(":", 1);
    MD5Update(ppParts[i]->GetDATA(), ppParts[i]->GetLEN());
  }
  MD5Final(digest);
  ToHex(digest, hexOut);
}

void cMd5c::CalcResponse(const cKytSTR& userName, const cKytSTR& password, const cKytSTR& method,
                         const cKytSTR& digestURI, const cKytSTR& realm, const cKytSTR& qop,
                         const cKytSTR& nonce, const cKytSTR& nonceCount,
                         const cKytSTR& clientNonce, cKytSTR& responseOut, const cKytSTR& body) {
  cKytSTR ha1, ha2;
  const cKytSTR* a1[] = {&userName, &realm, &password};
  HashJoined(a1, 3, ha1);
  if (qop.CompareNoCaseTo("auth-int")) {
    cKytSTR bodyHash;
    HashHex(body, bodyHash);
    const cKytSTR* a2[] = {&method, &digestURI, &bodyHash};
    HashJoined(a2, 3, ha2);
  } else {
    const cKytSTR* a2[] = {&method, &digestURI};
    HashJoined(a2, 2, ha2);
  }
  if (qop.IsZeroLEN()) {
    const cKytSTR* parts[] = {&ha1, &nonce, &ha2};
    HashJoined(parts, 3, responseOut);
  } else {
    const cKytSTR* parts[] = {&ha1, &nonce, &nonceCount, &clientNonce, &qop, &ha2};
    HashJoined(parts, 6, responseOut);
  }
}

void cMd5c::DigestCalc(const cKytSTR& userName, const cKytSTR& password, const cKytSTR& method,
                       const cKytSTR& digestURI, const cKytSTR& realm, const cKytSTR& qop,
                       const cKytSTR& nonce, cKytSTR& nonceCountOut, cKytSTR& clientNonceOut,
                       int32_t& nNonceCounter, cKytSTR& responseOut, const cKytSTR& body) {
  nonceCountOut = "";
  clientNonceOut = "";
  if (!qop.IsZeroLEN()) {
    // The client nonce comes from the system's cryptographic generator, so that it cannot be
    // predicted from the clock.
    clientNonceOut.Format("%x", cRandom::Next32());
    ++nNonceCounter;
    nonceCountOut.Format("%08x", static_cast<uint32_t>(nNonceCounter));
  }
  CalcResponse(userName, password, method, digestURI, realm, qop, nonce, nonceCountOut,
               clientNonceOut, responseOut, body);
}
