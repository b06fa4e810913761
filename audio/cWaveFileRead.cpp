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

bool ReadWholeFile(const std::string& sPath, std::vector<uint8_t>& file, int& nError) {
  std::unique_ptr<FILE, int (*)(FILE*)> fp(std::fopen(sPath.c_str(), "rb"), &std::fclose);
  if (!fp) {
    nError = kErrFileOpen;
    return false;
  }
  if (std::fseek(fp.get(), 0, SEEK_END) != 0) {
    nError = kErrFileRead;
    return false;
  }
  const long nSize = std::ftell(fp.get());
  if (nSize < 0 || static_cast<unsigned long>(nSize) > kMaxDataBytes ||
      std::fseek(fp.get(), 0, SEEK_SET) != 0) {
    nError = kErrFileRead;
    return false;
  }
  file.resize(static_cast<size_t>(nSize));
  if (nSize > 0 && std::fread(file.data(), 1, file.size(), fp.get()) != file.size()) {
    nError = kErrFileRead;
    return false;
  }
  return true;
}

size_t FindTag(const std::vector<uint8_t>& file, const char* pTag) {
  const size_t nLimit = std::min(file.size(), kDataSearchBytes);
  for (size_t i = 0; i + 4 <= nLimit; ++i)
    if (std::memcmp(&file[i], pTag, 4) == 0) return i;
  return std::string::npos;
}

}  // namespace

bool cWaveFileRead::Open(const std::string& sPath) {
  Close();
  std::vector<uint8_t> file;
  if (!ReadWholeFile(sPath, file, m_dwObjectError)) return false;
  if (!Extract(file)) {
    Close();
    m_dwObjectError = kErrFileFormat;
    return false;
  }
  return true;
}

bool cWaveFileRead::Extract(const std::vector<uint8_t>& file) {
  if (file.size() < kFormatEnd) return false;
  const uint8_t* p = file.data();
  if (std::memcmp(p, "RIFF", 4) != 0 || std::memcmp(p + 8, "WAVE", 4) != 0) return false;
  if (std::memcmp(p + 12, "fmt ", 4) != 0 && std::memcmp(p + 12, "FMT ", 4) != 0) return false;
  if (Le16(p + 20) != 1 || Le16(p + 22) != 1 || Le32(p + 24) != 8000) return false;
  const uint32_t nByteRate = Le32(p + 28);
  const uint16_t nAlign = Le16(p + 32);
  const uint16_t nBits = Le16(p + 34);
  const bool b8Bit = nByteRate == 8000 && nAlign == 1 && nBits == 8;
  const bool b16Bit = nByteRate == 16000 && nAlign == 2 && nBits == 16;
  if (!b8Bit && !b16Bit) return false;

  size_t nTag = FindTag(file, "data");
  if (nTag == std::string::npos) nTag = FindTag(file, "DATA");
  if (nTag == std::string::npos || nTag + 8 > file.size()) return false;
  // A size beyond the end of the file gets the samples that are really there.
  const size_t nData = std::min<size_t>(Le32(p + nTag + 4), file.size() - (nTag + 8));
  const uint8_t* pSamples = p + nTag + 8;
  if (b8Bit) {
    m_pDataPCM.resize(nData * 2);
    for (size_t i = 0; i < nData; ++i) {
      m_pDataPCM[2 * i] = 0;
      m_pDataPCM[2 * i + 1] = static_cast<uint8_t>(pSamples[i] ^ 0x80);
    }
  } else {
    m_pDataPCM.assign(pSamples, pSamples + (nData & ~size_t{1}));
  }
  m_nDataSizePCM = static_cast<int>(m_pDataPCM.size());
  m_dwReadVoiceOffset = 0;
  return true;
}

void cWaveFileRead::Close() {
  m_pDataPCM.clear();
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
  if (m_dwReadVoiceOffset >= m_nDataSizePCM || nSeconds <= 0) return false;
  const int64_t nWant = int64_t{nSeconds} * m_nAvgBytesPerSec;
  const int nCount =
      static_cast<int>(std::min<int64_t>(nWant, m_nDataSizePCM - m_dwReadVoiceOffset));
  out.assign(m_pDataPCM.begin() + m_dwReadVoiceOffset,
             m_pDataPCM.begin() + m_dwReadVoiceOffset + nCount);
  m_dwReadVoiceOffset += nCount;
  return true;
}
