#include "util/cKytSTR.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace {

bool InBounds(uint32_t nLen, uint32_t nStart, uint32_t nCount) {
  return nLen > 0 && nStart < nLen && nCount >= 1 && nCount <= nLen &&
         static_cast<uint64_t>(nStart) + nCount <= nLen;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

cKytSTR::cKytSTR() = default;

cKytSTR::cKytSTR(const char* pText) { CopyFROM(pText); }

cKytSTR::cKytSTR(const cKytSTR& other) { Assign(other.m_pData, other.m_nLen); }

cKytSTR::cKytSTR(cKytSTR&& other) noexcept {
  if (other.IsInline()) {
    memcpy(m_Inline, other.m_Inline, kInlineSize);
    m_nLen = other.m_nLen;
  } else {
    Adopt(other.m_pData, other.m_nLen, other.m_nCapacity);
    other.m_pData = other.m_Inline;
    other.m_nCapacity = kInlineSize - 1;
  }
  other.m_nLen = 0;
  other.m_pData[0] = '\0';
}

cKytSTR& cKytSTR::operator=(const cKytSTR& other) {
  if (this != &other) Assign(other.m_pData, other.m_nLen);
  return *this;
}

cKytSTR& cKytSTR::operator=(cKytSTR&& other) noexcept {
  if (this == &other) return *this;
  if (other.IsInline()) {
    // Fits any buffer: no allocation.
    Assign(other.m_pData, other.m_nLen);
  } else {
    Release();
    Adopt(other.m_pData, other.m_nLen, other.m_nCapacity);
    other.m_pData = other.m_Inline;
    other.m_nCapacity = kInlineSize - 1;
  }
  other.m_nLen = 0;
  other.m_pData[0] = '\0';
  return *this;
}

cKytSTR& cKytSTR::operator=(const char* pText) {
  CopyFROM(pText);
  return *this;
}

cKytSTR::~cKytSTR() { Release(); }

void cKytSTR::Release() {
  if (!IsInline()) delete[] m_pData;
  m_pData = m_Inline;
  m_nCapacity = kInlineSize - 1;
}

void cKytSTR::Adopt(char* pBuffer, uint32_t nLen, uint32_t nCapacity) {
  m_pData = pBuffer;
  m_nLen = nLen;
  m_nCapacity = nCapacity;
}

void cKytSTR::Reserve(uint32_t nCapacity) {
  if (nCapacity <= m_nCapacity) return;
  char* p = new char[static_cast<size_t>(nCapacity) + 1];
  memcpy(p, m_pData, static_cast<size_t>(m_nLen) + 1);
  const uint32_t nLen = m_nLen;
  Release();
  Adopt(p, nLen, nCapacity);
}

void cKytSTR::Assign(const char* pText, uint32_t nLen) {
  // pText may point into our own buffer: moved within it, or copied before it is freed.
  if (nLen <= m_nCapacity) {
    if (nLen > 0) memmove(m_pData, pText, nLen);
    m_pData[nLen] = '\0';
    m_nLen = nLen;
    return;
  }
  char* p = new char[static_cast<size_t>(nLen) + 1];
  memcpy(p, pText, nLen);
  p[nLen] = '\0';
  Release();
  Adopt(p, nLen, nLen);
}

void cKytSTR::Append(const char* pText, uint32_t nAdd) {
  if (nAdd == 0) return;
  const uint64_t nNeeded = static_cast<uint64_t>(m_nLen) + nAdd;
  if (nNeeded > m_nCapacity) {
    // Doubling keeps a run of appends linear; pText may lie in the old buffer, so it is read
    // before that goes.
    const uint64_t nCapacity = std::max<uint64_t>(nNeeded, 2ull * m_nCapacity);
    const uint32_t nNewCapacity = static_cast<uint32_t>(std::min<uint64_t>(nCapacity, 0xFFFFFFFEu));
    char* p = new char[static_cast<size_t>(nNewCapacity) + 1];
    memcpy(p, m_pData, m_nLen);
    memcpy(p + m_nLen, pText, nAdd);
    const uint32_t nLen = m_nLen;
    Release();
    Adopt(p, nLen, nNewCapacity);
  } else {
    memmove(m_pData + m_nLen, pText, nAdd);
  }
  m_nLen += nAdd;
  m_pData[m_nLen] = '\0';
}

void cKytSTR::CopyFROM(const char* pText) { Assign(pText, StrLen(pText)); }

void cKytSTR::CopyFROM(const char* pText, uint32_t nStart, uint32_t nCount) {
  if (!InBounds(StrLen(pText), nStart, nCount)) return;
  Assign(pText + nStart, nCount);
}

void cKytSTR::SubSTR(uint32_t nStart, uint32_t nCount, cKytSTR& target) const {
  if (!InBounds(m_nLen, nStart, nCount)) return;
  target.Assign(m_pData + nStart, nCount);
}

void cKytSTR::AppendSTR(const char* pText) { Append(pText, StrLen(pText)); }

uint32_t cKytSTR::FindSTR(const char* pNeedle, uint32_t nFrom) const {
  const uint32_t nNeedle = StrLen(pNeedle);
  if (m_nLen == 0 || nFrom >= m_nLen || nNeedle == 0) return KYT_NOT_FOUND;
  const void* pHit = nNeedle == 1 ? memchr(m_pData + nFrom, pNeedle[0], m_nLen - nFrom)
                                  : memmem(m_pData + nFrom, m_nLen - nFrom, pNeedle, nNeedle);
  return pHit ? static_cast<uint32_t>(static_cast<const char*>(pHit) - m_pData) : KYT_NOT_FOUND;
}

uint32_t cKytSTR::FindRevSTR(const char* pNeedle) const {
  uint32_t nLen = GetLEN();
  uint32_t nNeedle = StrLen(pNeedle);
  if (nLen == 0 || nNeedle == 0 || nNeedle > nLen) return KYT_NOT_FOUND;
  for (uint32_t nPos = nLen - nNeedle + 1; nPos-- > 0;) {
    if (memcmp(m_pData + nPos, pNeedle, nNeedle) == 0) return nPos;
  }
  return KYT_NOT_FOUND;
}

void cKytSTR::Remove(uint32_t nStart, uint32_t nCount) {
  uint32_t nLen = GetLEN();
  if (!InBounds(nLen, nStart, nCount)) return;
  memmove(m_pData + nStart, m_pData + nStart + nCount, nLen - nStart - nCount + 1);
  m_nLen = nLen - nCount;
}

void cKytSTR::Replace(const char* pOld, const char* pNew) {
  uint32_t nOld = StrLen(pOld);
  if (nOld == 0 || StrEqual(pOld, pNew)) return;
  std::string out;
  const char* p = m_pData;
  bool bChanged = false;
  while (const char* pHit = strstr(p, pOld)) {
    out.append(p, pHit);
    out.append(pNew ? pNew : "");
    p = pHit + nOld;
    bChanged = true;
  }
  if (!bChanged) return;
  out.append(p);
  Assign(out.data(), static_cast<uint32_t>(out.size()));
}

bool cKytSTR::TrimLEFT(const char* pToken) {
  uint32_t nToken = StrLen(pToken);
  if (nToken == 0) return false;
  uint32_t nLen = GetLEN();
  uint32_t nSkip = 0;
  while (nLen - nSkip >= nToken && memcmp(m_pData + nSkip, pToken, nToken) == 0) nSkip += nToken;
  if (nSkip == 0) return false;
  Assign(m_pData + nSkip, nLen - nSkip);
  return true;
}

bool cKytSTR::TrimRIGHT(const char* pToken) {
  uint32_t nToken = StrLen(pToken);
  if (nToken == 0) return false;
  uint32_t nEnd = GetLEN();
  // A repetition that begins at position 0 is never removed.
  while (nEnd > nToken && memcmp(m_pData + nEnd - nToken, pToken, nToken) == 0) nEnd -= nToken;
  if (nEnd == m_nLen) return false;
  m_pData[nEnd] = '\0';
  m_nLen = nEnd;
  return true;
}

bool cKytSTR::Trim(const char* pToken) {
  bool bLeft = TrimLEFT(pToken);
  bool bRight = TrimRIGHT(pToken);
  return bLeft || bRight;
}

void cKytSTR::MakeReverse() {
  uint32_t nLen = GetLEN();
  for (uint32_t i = 0; i < nLen / 2; ++i) std::swap(m_pData[i], m_pData[nLen - 1 - i]);
}

int32_t cKytSTR::ConvertToINT() const { return static_cast<int32_t>(atol(m_pData)); }

void cKytSTR::Format(const char* pFormat, ...) {
  va_list args;
  va_start(args, pFormat);
  FormatV(pFormat, args);
  va_end(args);
}

void cKytSTR::FormatV(const char* pFormat, va_list args) {
  // Written into a fresh buffer: an argument may be this very string.
  va_list copy;
  va_copy(copy, args);
  int nNeeded = vsnprintf(nullptr, 0, pFormat ? pFormat : "", copy);
  va_end(copy);
  if (nNeeded < 0) {
    CopyFROM("");
    return;
  }
  const auto nSize = static_cast<uint32_t>(nNeeded);
  if (nSize < kInlineSize) {
    char text[kInlineSize];
    vsnprintf(text, kInlineSize, pFormat ? pFormat : "", args);
    Assign(text, static_cast<uint32_t>(strlen(text)));
    return;
  }
  char* p = new char[static_cast<size_t>(nSize) + 1];
  vsnprintf(p, static_cast<size_t>(nSize) + 1, pFormat ? pFormat : "", args);
  Release();
  // A "%c" of zero ends the text early.
  Adopt(p, static_cast<uint32_t>(strlen(p)), nSize);
}

uint32_t cKytSTR::StrLen(const char* pText) {
  return pText ? static_cast<uint32_t>(strlen(pText)) : 0;
}

void cKytSTR::StrLower(char* pText) {
  for (; pText && *pText; ++pText) *pText = AsciiLower(*pText);
}

void cKytSTR::StrUpper(char* pText) {
  for (; pText && *pText; ++pText) *pText = AsciiUpper(*pText);
}

bool cKytSTR::StrEqual(const char* pA, const char* pB) {
  return strcmp(pA ? pA : "", pB ? pB : "") == 0;
}

bool cKytSTR::StrEqualNoCase(const char* pA, const char* pB) {
  pA = pA ? pA : "";
  pB = pB ? pB : "";
  for (; *pA && *pB; ++pA, ++pB) {
    if (AsciiLower(*pA) != AsciiLower(*pB)) return false;
  }
  return *pA == *pB;
}

cKytSTR cKytSTR::IntToStr(int32_t nValue) {
  cKytSTR s;
  s.Format("%d", nValue);
  return s;
}

uint32_t cKytSTR::StrFind(const char* pText, const char* pNeedle) {
  if (StrLen(pText) == 0 || StrLen(pNeedle) == 0) return KYT_NOT_FOUND;
  const char* pHit = strstr(pText, pNeedle);
  return pHit ? static_cast<uint32_t>(pHit - pText) : KYT_NOT_FOUND;
}
