#include "sip/cTextSIP.h"

#include <cstdint>
#include <limits>

void cTextSIP::Mid(const cKytSTR& text, uint32_t nStart, uint32_t nEnd, cKytSTR& out) {
  uint32_t nLen = text.GetLEN();
  if (nEnd > nLen) nEnd = nLen;
  if (nStart >= nEnd) {
    out = "";
    return;
  }
  // SubSTR reads from the source before replacing the target, so out may alias text.
  text.SubSTR(nStart, nEnd - nStart, out);
}

void cTextSIP::From(const cKytSTR& text, uint32_t nStart, cKytSTR& out) {
  Mid(text, nStart, text.GetLEN(), out);
}

int32_t cTextSIP::ToInt(const char* pText) {
  if (!pText) return 0;
  while (*pText == ' ' || *pText == '\t') ++pText;
  bool bNegative = false;
  if (*pText == '+' || *pText == '-') bNegative = *pText++ == '-';
  int64_t nValue = 0;
  for (; *pText >= '0' && *pText <= '9'; ++pText) {
    nValue = nValue * 10 + (*pText - '0');
    if (nValue > std::numeric_limits<int32_t>::max()) {
      nValue = std::numeric_limits<int32_t>::max();
      break;
    }
  }
  return static_cast<int32_t>(bNegative ? -nValue : nValue);
}

cKytSTR cTextSIP::Lower(const cKytSTR& text) {
  cKytSTR lower(text);
  lower.MakeLower();
  return lower;
}
