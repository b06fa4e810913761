#pragma once

#include <cstdint>

#include "util/cKytSTR.h"

// Reads a Digest challenge (WWW-Authenticate / Proxy-Authenticate value) and writes the
// credentials value of an Authorization / Proxy-Authorization header. No state.
class cAuth {
 public:
  // Challenges answered in a row for one request before it is given up: a wrong password would
  // otherwise have the proxy and us challenge and answer forever.
  static constexpr int32_t kMaxAuthAnswers = 4;

  // Fills realm, qop, nonce and opaque from the challenge; an output whose token is absent is
  // left as it was.
  static void Parse(const cKytSTR& challenge, cKytSTR& realmOut, cKytSTR& qopOut, cKytSTR& nonceOut,
                    cKytSTR& opaqueOut);

  // Finds a token such as "realm=" (any letter case) and copies what follows it up to the next
  // "," or the end, without surrounding blanks and double quotes, case kept. Only a token that
  // starts the value or follows a blank or a comma counts, so "nonce=" never matches inside
  // "cnonce=". False when the token is absent (the output is then unchanged).
  static bool FindToken(const cKytSTR& value, const char* pToken, cKytSTR& textOut);

  // The credentials value; opaque, client nonce, qop and nonce count are written only when not
  // empty, in that order.
  static void Construct(const cKytSTR& userName, const cKytSTR& realm, const cKytSTR& nonce,
                        const cKytSTR& digestURI, const cKytSTR& clientNonce,
                        const cKytSTR& nonceCount, const cKytSTR& qop, const cKytSTR& opaque,
                        const cKytSTR& response, cKytSTR& valueOut);
};
