#include "sip/cQuoteSIP.h"

#include <cstring>
#include <string>

namespace {

bool IsAlphaNum(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool IsHex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// unreserved (alphanum and mark) and user-unreserved.
bool IsUserChar(char c) {
  return IsAlphaNum(c) || (c != '\0' && std::strchr("-_.!~*'()&=+$,;?/", c) != nullptr);
}

bool IsEscapeAt(const char* p, uint32_t nAt, uint32_t nLength) {
  return p[nAt] == '%' && nAt + 2 < nLength && IsHex(p[nAt + 1]) && IsHex(p[nAt + 2]);
}

}  // namespace

bool cQuoteSIP::IsLineSafe(const char* pText, uint32_t nLength) {
  if (pText == nullptr) return true;
  for (uint32_t i = 0; i < nLength; ++i) {
    if (pText[i] == '\r' || pText[i] == '\n' || pText[i] == '\0') return false;
  }
  return true;
}

bool cQuoteSIP::IsHostName(const cKytSTR& text) {
  const char* p = text.GetDATA();
  const uint32_t nLength = text.GetLEN();
  if (nLength == 0) return false;
  if (p[0] == '[') return IsIPv6Reference(text);
  for (uint32_t i = 0; i < nLength; ++i) {
    if (!IsAlphaNum(p[i]) && p[i] != '-' && p[i] != '.') return false;
  }
  return true;
}

void cQuoteSIP::QuoteDisplayName(const cKytSTR& name, cKytSTR& quoted) {
  std::string out = "\"";
  for (const char* p = name.GetDATA(); *p != '\0'; ++p) {
    if (*p == '\r' || *p == '\n') {
      out += ' ';
      continue;
    }
    if (*p == '"' || *p == '\\') out += '\\';
    out += *p;
  }
  out += '"';
  quoted = out.c_str();
}

void cQuoteSIP::UnquoteDisplayName(const cKytSTR& text, cKytSTR& name) {
  cKytSTR trimmed(text);
  trimmed.Trim(" ");
  const char* p = trimmed.GetDATA();
  if (*p != '"') {
    name = trimmed;
    return;
  }
  std::string out;
  for (++p; *p != '\0' && *p != '"'; ++p) {
    if (*p == '\\' && p[1] != '\0') ++p;
    out += *p;
  }
  name = out.c_str();
}

void cQuoteSIP::EscapeUser(const cKytSTR& user, cKytSTR& escaped) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  const char* p = user.GetDATA();
  const uint32_t nLength = user.GetLEN();
  std::string out;
  for (uint32_t i = 0; i < nLength; ++i) {
    if (IsUserChar(p[i]) || IsEscapeAt(p, i, nLength)) {
      out += p[i];
      continue;
    }
    const auto c = static_cast<unsigned char>(p[i]);
    out += '%';
    out += kHex[c >> 4];
    out += kHex[c & 0x0F];
  }
  escaped = out.c_str();
}

uint32_t cQuoteSIP::FindUnquoted(const cKytSTR& text, char c, uint32_t nFrom) {
  const char* p = text.GetDATA();
  const uint32_t nLength = text.GetLEN();
  bool bQuoted = false;
  for (uint32_t i = 0; i < nLength; ++i) {
    if (bQuoted) {
      if (p[i] == '\\' && i + 1 < nLength) {
        ++i;
      } else if (p[i] == '"') {
        bQuoted = false;
      }
      continue;
    }
    if (p[i] == '"') {
      bQuoted = true;
    } else if (p[i] == c && i >= nFrom) {
      return i;
    }
  }
  return cKytSTR::KYT_NOT_FOUND;
}

bool cQuoteSIP::IsIPv6Reference(const cKytSTR& text) {
  const char* p = text.GetDATA();
  const uint32_t nLength = text.GetLEN();
  // "[" hex digits, colons and (for an embedded IPv4 tail) dots "]", with at least one colon.
  if (nLength < 4 || p[0] != '[' || p[nLength - 1] != ']') return false;
  bool bColon = false;
  for (uint32_t i = 1; i + 1 < nLength; ++i) {
    const char c = p[i];
    const bool bHex = (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (!bHex && c != ':' && c != '.') return false;
    bColon = bColon || c == ':';
  }
  return bColon;
}
