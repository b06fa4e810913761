#include "sip/cTextSIP.h"

#include <cstdint>
#include <limits>
#include <string>

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

void cTextSIP::SplitHostPort(const cKytSTR& hostPort, cKytSTR& host, int32_t& nPort) {
  // An IPv6 literal holds colons of its own: the port can only follow its closing bracket.
  uint32_t nHostEnd = 0;
  if (hostPort.GetLEN() > 0 && hostPort.GetDATA()[0] == '[') {
    const uint32_t nClose = hostPort.FindSTR("]");
    nHostEnd = nClose == cKytSTR::KYT_NOT_FOUND ? hostPort.GetLEN() : nClose + 1;
  }
  const uint32_t nColon = hostPort.FindSTR(":", nHostEnd);
  if (nColon == cKytSTR::KYT_NOT_FOUND) {
    host = hostPort;
    return;
  }
  const int32_t nValue = ToInt(hostPort.GetDATA() + nColon + 1);
  Mid(hostPort, 0, nColon, host);
  nPort = nValue;
}

cKytSTR cTextSIP::WithoutKeys(const cKytSTR& message) {
  std::string text(message.GetDATA(), message.GetLEN());
  constexpr const char kInline[] = "inline:";
  for (size_t nAt = text.find(kInline); nAt != std::string::npos;
       nAt = text.find(kInline, nAt + 1)) {
    const size_t nKey = nAt + sizeof(kInline) - 1;
    const size_t nEnd = text.find_first_of("| \t\r\n", nKey);
    text.replace(nKey, (nEnd == std::string::npos ? text.size() : nEnd) - nKey, "...");
  }
  return cKytSTR(text.c_str());
}
