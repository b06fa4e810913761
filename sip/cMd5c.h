#pragma once

#include <cstddef>
#include <cstdint>

#include "util/cKytSTR.h"

// MD5 (RFC 1321) and the digest computation of HTTP/SIP Digest authentication (RFC 2617, MD5
// only). The object holds one MD5 context; nothing is kept between digest computations.
class cMd5c {
 public:
  cMd5c();

  // Streaming MD5: MD5Init, any number of MD5Update, then MD5Final writes the 16-byte digest and
  // leaves the context ready for a new MD5Init.
  void MD5Init();
  void MD5Update(const void* pData, size_t nLen);
  void MD5Final(uint8_t digest[16]);

  // MD5 of a whole text as 32 lower-case hexadecimal digits.
  void HashHex(const cKytSTR& text, cKytSTR& hexOut);
  void HashHex(const void* pData, size_t nLen, cKytSTR& hexOut);

  // Steps 1-2 of an answer to a challenge: with a qop, a fresh client nonce and the next nonce
  // count ("%08x" of ++nNonceCounter); without one, both texts come back empty and the counter
  // stays. Then the response of CalcResponse. The body only matters for qop "auth-int".
  void DigestCalc(const cKytSTR& userName, const cKytSTR& password, const cKytSTR& method,
                  const cKytSTR& digestURI, const cKytSTR& realm, const cKytSTR& qop,
                  const cKytSTR& nonce, cKytSTR& nonceCountOut, cKytSTR& clientNonceOut,
                  int32_t& nNonceCounter, cKytSTR& responseOut, const cKytSTR& body = cKytSTR());

  // The response for given nonce count and client nonce:
  // HA1 = MD5(user:realm:password), HA2 = MD5(method:uri) (or MD5(method:uri:MD5(body)) for
  // "auth-int"); with a qop MD5(HA1:nonce:nc:cnonce:qop:HA2), else MD5(HA1:nonce:HA2).
  void CalcResponse(const cKytSTR& userName, const cKytSTR& password, const cKytSTR& method,
                    const cKytSTR& digestURI, const cKytSTR& realm, const cKytSTR& qop,
                    const cKytSTR& nonce, const cKytSTR& nonceCount, const cKytSTR& clientNonce,
                    cKytSTR& responseOut, const cKytSTR& body = cKytSTR());

 private:
  void Transform(const uint8_t block[64]);
  // MD5 of the parts joined by colons, as hex.
  void HashJoined(const cKytSTR* const* ppParts, size_t nParts, cKytSTR& hexOut);

  uint32_t m_nState[4];
  uint64_t m_nBitCount;
  uint8_t m_Buffer[64];
};
