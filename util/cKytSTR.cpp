#include "util/cKytSTR.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>

namespace {

char* NewEmpty() {
  char* p = new char[1];
  p[0] = '\0';
  return p;
}

bool InBounds(uint32_t nLen, uint32_t nStart, uint32_t nCount) {
  return nLen > 0 && nStart < nLen && nCount >= 1 && nCount <= nLen &&
         static_cast<uint64_t>(nStart) + nCount <= nLen;
}

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

cKytSTR::cKytSTR() : m_pData(NewEmpty()) {}

cKytSTR::cKytSTR(const char* pText) : m_pData(NewEmpty()) { CopyFROM(pText); }

cKytSTR::cKytSTR(const cKytSTR& other) : m_pData(NewEmpty()) { CopyFROM(other.m_pData); }

cKytSTR::cKytSTR(cKytSTR&& other) noexcept : m_pData(other.m_pData) { other.m_pData = NewEmpty(); }

cKytSTR& cKytSTR::operator=(const cKytSTR& other) {
  if (this != &other) CopyFROM(other.m_pData);
  return *this;
}

cKytSTR& cKytSTR::operator=(cKytSTR&& other) noexcept {
  std::swap(m_pData, other.m_pData);
  return *this;
}

cKytSTR& cKytSTR::operator=(const char* pText) {
  CopyFROM(pText);
  return *this;
}

cKytSTR::~cKytSTR() { delete[] m_pData; }

uint32_t cKytSTR::GetLEN() const { return StrLen(m_pData); }

void cKytSTR::Assign(const char* pText, uint32_t nLen) {
  // Copy first: pText may point into our own buffer.
  char* p = new char[static_cast<size_t>(nLen) + 1];
  if (nLen > 0) memcpy(p, pText, nLen);
  p[nLen] = '\0';
  delete[] m_pData;
  m_pData = p;
}

void cKytSTR::CopyFROM(const char* pText) { Assign(pText, StrLen(pText)); }

void cKytSTR::CopyFROM(const char* pText, uint32_t nStart, uint32_t nCount) {
  if (!InBounds(StrLen(pText), nStart, nCount)) return;
  Assign(pText + nStart, nCount);
}

void cKytSTR::SubSTR(uint32_t nStart, uint32_t nCount, cKytSTR& target) const {
  target.CopyFROM(m_pData, nStart, nCount);
}

void cKytSTR::AppendSTR(const char* pText) {
  uint32_t nAdd = StrLen(pText);
  if (nAdd == 0) return;
  uint32_t nLen = GetLEN();
  char* p = new char[static_cast<size_t>(nLen) + nAdd + 1];
  memcpy(p, m_pData, nLen);
  memcpy(p + nLen, pText, nAdd);
  p[nLen + nAdd] = '\0';
  delete[] m_pData;
  m_pData = p;
}

uint32_t cKytSTR::FindSTR(const char* pNeedle, uint32_t nFrom) const {
  uint32_t nLen = GetLEN();
  if (nLen == 0 || nFrom >= nLen || StrLen(pNeedle) == 0) return KYT_NOT_FOUND;
  const char* pHit = strstr(m_pData + nFrom, pNeedle);
  return pHit ? static_cast<uint32_t>(pHit - m_pData) : KYT_NOT_FOUND;
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
  if (nEnd == GetLEN()) return false;
  m_pData[nEnd] = '\0';
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
  va_list copy;
  va_copy(copy, args);
  int nNeeded = vsnprintf(nullptr, 0, pFormat ? pFormat : "", copy);
  va_end(copy);
  if (nNeeded < 0) {
    CopyFROM("");
    return;
  }
  char* p = new char[static_cast<size_t>(nNeeded) + 1];
  vsnprintf(p, static_cast<size_t>(nNeeded) + 1, pFormat ? pFormat : "", args);
  delete[] m_pData;
  m_pData = p;
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
