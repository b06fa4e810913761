#pragma once

#include <cstdarg>
#include <cstdint>

// Owned, zero-terminated 8-bit string. The buffer is never absent: an empty string holds just
// the terminator. Length is the number of bytes before the first zero byte. Every search answers
// a 32-bit position, with KYT_NOT_FOUND when nothing matches.
// Short texts live inside the object and the length is kept, so that the many small values a SIP
// message is cut into cost no allocation, and no string is measured twice.
class cKytSTR {
 public:
  static constexpr uint32_t KYT_NOT_FOUND = 0xFFFFFFFFu;

  cKytSTR();
  cKytSTR(const char* pText);  // NOLINT(google-explicit-constructor): used as a text value
  cKytSTR(const cKytSTR& other);
  cKytSTR(cKytSTR&& other) noexcept;
  cKytSTR& operator=(const cKytSTR& other);
  cKytSTR& operator=(cKytSTR&& other) noexcept;
  cKytSTR& operator=(const char* pText);
  ~cKytSTR();

  const char* GetDATA() const { return m_pData; }
  uint32_t GetLEN() const { return m_nLen; }
  bool IsZeroLEN() const { return m_nLen == 0; }
  // Room for nCapacity bytes before the terminator, so that appends up to it do not allocate.
  void Reserve(uint32_t nCapacity);

  void CopyFROM(const char* pText);
  void CopyFROM(const char* pText, uint32_t nStart, uint32_t nCount);
  void SubSTR(uint32_t nStart, uint32_t nCount, cKytSTR& target) const;
  void AppendSTR(const char* pText);
  void AppendSTR(const cKytSTR& other) { Append(other.m_pData, other.m_nLen); }

  uint32_t FindSTR(const char* pNeedle, uint32_t nFrom = 0) const;
  uint32_t FindRevSTR(const char* pNeedle) const;

  void Remove(uint32_t nStart, uint32_t nCount);
  void Replace(const char* pOld, const char* pNew);
  void RemoveSTR(const char* pToken) { Replace(pToken, ""); }

  bool TrimLEFT(const char* pToken);
  bool TrimRIGHT(const char* pToken);
  bool Trim(const char* pToken);

  void MakeLower() { StrLower(m_pData); }
  void MakeUpper() { StrUpper(m_pData); }
  void MakeReverse();

  bool CompareTo(const char* pText) const { return StrEqual(m_pData, pText); }
  bool CompareNoCaseTo(const char* pText) const { return StrEqualNoCase(m_pData, pText); }
  int32_t ConvertToINT() const;

  void Format(const char* pFormat, ...) __attribute__((format(printf, 2, 3)));
  void FormatV(const char* pFormat, va_list args);

  // Class-level helpers, used the same way everywhere. An absent text counts as empty.
  static uint32_t StrLen(const char* pText);
  static void StrLower(char* pText);
  static void StrUpper(char* pText);
  static bool StrEqual(const char* pA, const char* pB);
  static bool StrEqualNoCase(const char* pA, const char* pB);
  static cKytSTR IntToStr(int32_t nValue);
  static uint32_t StrFind(const char* pText, const char* pNeedle);

 private:
  static constexpr uint32_t kInlineSize = 16;  // terminator included

  bool IsInline() const { return m_pData == m_Inline; }
  void Assign(const char* pText, uint32_t nLen);
  void Append(const char* pText, uint32_t nAdd);
  // Takes over a heap buffer holding nLen bytes and their terminator.
  void Adopt(char* pBuffer, uint32_t nLen, uint32_t nCapacity);
  void Release();

  char* m_pData = m_Inline;
  uint32_t m_nLen = 0;
  uint32_t m_nCapacity = kInlineSize - 1;  // bytes the buffer holds before its terminator
  char m_Inline[kInlineSize] = {};
};
