#include "sip/cStreamFramerSIP.h"

#include <cctype>
#include <cstdint>

namespace {

bool SameName(const std::string& text, size_t nStart, size_t nEnd, const char* pName) {
  size_t i = nStart;
  for (; i < nEnd && *pName; ++i, ++pName) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != *pName) return false;
  }
  return i == nEnd && !*pName;
}

// The Content-Length (or its compact form "l") of the header text[0, nHeaderEnd); -1 when it
// is missing, malformed or over kMaxBody.
int64_t ContentLength(const std::string& text, size_t nHeaderEnd) {
  size_t nLine = text.find("\r\n");
  while (nLine != std::string::npos && nLine < nHeaderEnd) {
    const size_t nStart = nLine + 2;
    size_t nEnd = text.find("\r\n", nStart);
    if (nEnd == std::string::npos || nEnd > nHeaderEnd) nEnd = nHeaderEnd;
    const size_t nColon = text.find(':', nStart);
    if (nColon != std::string::npos && nColon < nEnd) {
      size_t nNameEnd = nColon;
      while (nNameEnd > nStart && (text[nNameEnd - 1] == ' ' || text[nNameEnd - 1] == '\t'))
        --nNameEnd;
      if (SameName(text, nStart, nNameEnd, "content-length") ||
          SameName(text, nStart, nNameEnd, "l")) {
        int64_t nValue = 0;
        bool bDigit = false;
        for (size_t i = nColon + 1; i < nEnd; ++i) {
          const char c = text[i];
          if (c == ' ' || c == '\t') {
            if (bDigit) break;
            continue;
          }
          if (c < '0' || c > '9') return -1;
          bDigit = true;
          nValue = nValue * 10 + (c - '0');
          if (nValue > static_cast<int64_t>(cStreamFramerSIP::kMaxBody)) return -1;
        }
        return bDigit ? nValue : -1;
      }
    }
    nLine = nEnd == nHeaderEnd ? std::string::npos : nEnd;
  }
  return -1;
}

}  // namespace

void cStreamFramerSIP::Append(const std::string& data) {
  if (m_bBroken) return;
  if (m_Buffer.size() + data.size() > kMaxHeader + kMaxBody + 4) {
    m_bBroken = true;
    m_Buffer.clear();
    return;
  }
  m_Buffer += data;
}

cStreamFramerSIP::eNext cStreamFramerSIP::Next(std::string& message) {
  if (m_bBroken) return eNext::BROKEN;
  if (m_Buffer.compare(0, 4, "\r\n\r\n") == 0) {
    m_Buffer.erase(0, 4);
    return eNext::PING;
  }
  // A lone CRLF is a pong, unless the CR after it may still make it a ping.
  if (m_Buffer.compare(0, 2, "\r\n") == 0 && (m_Buffer.size() < 3 || m_Buffer[2] != '\r')) {
    m_Buffer.erase(0, 2);
    return eNext::PONG;
  }
  if (m_Buffer.empty()) return eNext::NONE;
  if (m_Buffer[0] == '\r') {
    if (m_Buffer.size() < 4) return eNext::NONE;
    m_bBroken = true;
    return eNext::BROKEN;
  }
  // Every request method and "SIP/2.0" begin with a capital letter; anything else (a TLS hello
  // sent to our TCP port, binary noise) is not worth waiting for.
  if (m_Buffer[0] < 'A' || m_Buffer[0] > 'Z') {
    m_bBroken = true;
    return eNext::BROKEN;
  }
  const size_t nHeaderEnd = m_Buffer.find("\r\n\r\n");
  if (nHeaderEnd == std::string::npos) {
    if (m_Buffer.size() <= kMaxHeader) return eNext::NONE;
    m_bBroken = true;
    return eNext::BROKEN;
  }
  const int64_t nBody = nHeaderEnd > kMaxHeader ? -1 : ContentLength(m_Buffer, nHeaderEnd);
  if (nBody < 0) {
    m_bBroken = true;
    return eNext::BROKEN;
  }
  const size_t nTotal = nHeaderEnd + 4 + static_cast<size_t>(nBody);
  if (m_Buffer.size() < nTotal) return eNext::NONE;
  message = m_Buffer.substr(0, nTotal);
  m_Buffer.erase(0, nTotal);
  return eNext::MESSAGE;
}
