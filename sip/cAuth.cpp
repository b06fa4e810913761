#include "sip/cAuth.h"

#include <strings.h>

#include <cstring>

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Optional tail: the format filled with the value, or nothing when the value is empty.
cKytSTR Tail(const char* pFormat, const cKytSTR& value) {
  cKytSTR tail;
  if (!value.IsZeroLEN()) tail.Format(pFormat, value.GetDATA());
  return tail;
}

}  // namespace

bool cAuth::FindToken(const cKytSTR& value, const char* pToken, cKytSTR& textOut) {
  const char* pText = value.GetDATA();
  size_t nLen = value.GetLEN();
  size_t nToken = strlen(pToken);
  if (nToken == 0) return false;
  for (size_t nPos = 0; nPos + nToken <= nLen; ++nPos) {
    if (nPos > 0 && !IsBlank(pText[nPos - 1]) && pText[nPos - 1] != ',') continue;
    if (strncasecmp(pText + nPos, pToken, nToken) != 0) continue;
    size_t nStart = nPos + nToken;
    const char* pComma = strchr(pText + nStart, ',');
    size_t nEnd = pComma ? static_cast<size_t>(pComma - pText) : nLen;
    while (nStart < nEnd && IsBlank(pText[nStart])) ++nStart;
    while (nEnd > nStart && IsBlank(pText[nEnd - 1])) --nEnd;
    cKytSTR found;
    found.CopyFROM(pText, static_cast<uint32_t>(nStart), static_cast<uint32_t>(nEnd - nStart));
    found.Trim("\"");
    textOut = found;
    return true;
  }
  return false;
}

void cAuth::Parse(const cKytSTR& challenge, cKytSTR& realmOut, cKytSTR& qopOut, cKytSTR& nonceOut,
                  cKytSTR& opaqueOut) {
  FindToken(challenge, "realm=", realmOut);
  FindToken(challenge, "nonce=", nonceOut);
  FindToken(challenge, "qop=", qopOut);
  FindToken(challenge, "opaque=", opaqueOut);
}

void cAuth::Construct(const cKytSTR& userName, const cKytSTR& realm, const cKytSTR& nonce,
                      const cKytSTR& digestURI, const cKytSTR& clientNonce,
                      const cKytSTR& nonceCount, const cKytSTR& qop, const cKytSTR& opaque,
                      const cKytSTR& response, cKytSTR& valueOut) {
  cKytSTR opaqueTail = Tail(", opaque=\"%s\"", opaque);
  cKytSTR cnonceTail = Tail(", cnonce=\"%s\"", clientNonce);
  cKytSTR qopTail = Tail(", qop=%s", qop);
  cKytSTR ncTail = Tail(", nc=%s", nonceCount);
  valueOut.Format(
      "Digest username=\"%s\", realm=\"%s\", nonce=\"%s\", uri=\"%s\", response=\"%s\", "
      "algorithm=MD5%s%s%s%s",
      userName.GetDATA(), realm.GetDATA(), nonce.GetDATA(), digestURI.GetDATA(), response.GetDATA(),
      opaqueTail.GetDATA(), cnonceTail.GetDATA(), qopTail.GetDATA(), ncTail.GetDATA());
}
