#include "audio/cWaveFileRead.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>

#include "util/eKytError.h"

namespace {

// The data tag must lie wholly within the first bytes of the file.
constexpr size_t kDataSearchBytes = 98;
constexpr size_t kFormatEnd = 36;
// The sample data handed out is kept below 2 GiB so every offset fits an int.
constexpr uint32_t kMaxDataBytes = 0x3FFFFFFF;

uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

size_t FindTag(const std::vector<uint8_t>& head, const char* pTag) {
  const size_t nLimit = std::min(head.size(), kDataSearchBytes);
  for (size_t i = 0; i + 4 <= nLimit; ++i)
    if (std::memcmp(&head[i], pTag, 4) == 0) return i;
  return std::string::npos;
}

}  // namespace

bool cWaveFileRead::Open(const std::string& sPath) {
  Close();
  m_pFile.reset(std::fopen(sPath.c_str(), "rb"));
  if (!m_pFile) {
    m_dwObjectError = kErrFileOpen;
    return false;
  }
  long nSize = -1;
  if (std::fseek(m_pFile.get(), 0, SEEK_END) == 0) nSize = std::ftell(m_pFile.get());
  if (nSize < 0 || std::fseek(m_pFile.get(), 0, SEEK_SET) != 0) {
    Close();
    m_dwObjectError = kErrFileRead;
    return false;
  }
  // Only the header is read now; the samples are read as they are played.
  // The header, with the data tag's size field however late the tag lies.
  std::vector<uint8_t> head(std::min<size_t>(static_cast<size_t>(nSize), kDataSearchBytes + 4));
  if (std::fread(head.data(), 1, head.size(), m_pFile.get()) != head.size()) {
    Close();
    m_dwObjectError = kErrFileRead;
    return false;
  }
  if (!Extract(head, static_cast<uint64_t>(nSize))) {
    Close();
    m_dwObjectError = kErrFileFormat;
    return false;
  }
  return true;
}

bool cWaveFileRead::Extract(const std::vector<uint8_t>& head, uint64_t nFileSize) {
  if (head.size() < kFormatEnd) return false;
  const uint8_t* p = head.data();
  if (std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WAVE", 4) != 0) return false;
  if (std::memcmp(p + 12, "fmt ", 4) != 0 && std::memcmp(p + 12, "FMT ", 4) != 0) return false;
  if (Le16(p + 20) != 1 || Le16(p + 22) != 1 || Le32(p + 24) != 8000) return false;
  const uint32_t nByteRate = Le32(p + 28);
  const uint16_t nAlign = Le16(p + 32);
  const uint16_t nBits = Le16(p + 34);
  const bool b8Bit = nByteRate == 8000 && nAlign == 1 && nBits == 8;
  const bool b16Bit = nByteRate == 16000 && nAlign == 2 && nBits == 16;
  if (!b8Bit && !b16Bit) return false;

  size_t nTag = FindTag(head, "data");
  if (nTag == std::string::npos) nTag = FindTag(head, "DATA");
  if (nTag == std::string::npos || nTag + 8 > head.size()) return false;
  // A size beyond the end of the file gets the samples that are really there.
  const uint64_t nData = std::min<uint64_t>(
      {Le32(p + nTag + 4), nFileSize - (nTag + 8), b8Bit ? kMaxDataBytes / 2 : kMaxDataBytes});
  m_b8Bit = b8Bit;
  m_nDataStart = static_cast<long>(nTag + 8);
  m_nDataSizePCM = static_cast<int>(b8Bit ? nData * 2 : nData & ~uint64_t{1});
  m_dwReadVoiceOffset = 0;
  return true;
}

void cWaveFileRead::Close() {
  m_pFile.reset();
  m_nDataSizePCM = 0;
  m_dwReadVoiceOffset = 0;
}

int cWaveFileRead::GetSize() const {
  return (m_nDataSizePCM + m_nAvgBytesPerSec - 1) / m_nAvgBytesPerSec;
}

int cWaveFileRead::GetSizeMilliSecond() const {
  return static_cast<int>((static_cast<int64_t>(m_nDataSizePCM) * 1000 + m_nAvgBytesPerSec - 1) /
                          m_nAvgBytesPerSec);
}

void cWaveFileRead::SeekTo(int nSeconds) {
  const int nLength = GetSize();
  if (nLength == 0) return;
  nSeconds = std::clamp(nSeconds, 0, nLength);
  m_dwReadVoiceOffset =
      static_cast<int>(std::min<int64_t>(int64_t{nSeconds} * m_nAvgBytesPerSec, m_nDataSizePCM));
}

bool cWaveFileRead::Read(int nSeconds, std::vector<uint8_t>& out) {
  out.clear();
  if (!m_pFile || m_dwReadVoiceOffset >= m_nDataSizePCM || nSeconds <= 0) return false;
  const int64_t nWant = int64_t{nSeconds} * m_nAvgBytesPerSec;
  const int nCount =
      static_cast<int>(std::min<int64_t>(nWant, m_nDataSizePCM - m_dwReadVoiceOffset));
  // 8-bit files hold one byte for every two handed out.
  const int nFileBytes = m_b8Bit ? nCount / 2 : nCount;
  const long nAt = m_nDataStart + (m_b8Bit ? m_dwReadVoiceOffset / 2 : m_dwReadVoiceOffset);
  std::vector<uint8_t> raw(static_cast<size_t>(nFileBytes));
  if (std::fseek(m_pFile.get(), nAt, SEEK_SET) != 0 ||
      std::fread(raw.data(), 1, raw.size(), m_pFile.get()) != raw.size())
    return false;
  if (m_b8Bit) {
    out.resize(raw.size() * 2);
    for (size_t i = 0; i < raw.size(); ++i) {
      out[2 * i] = 0;
      out[2 * i + 1] = static_cast<uint8_t>(raw[i] ^ 0x80);
    }
  } else {
    out = std::move(raw);
  }
  m_dwReadVoiceOffset += nCount;
  return true;
}
