#include "audio/cWaveFileWrite.h"

#include <cstring>

#include "audio/cAudioUnit.h"
#include "audio/cG711uCodec.h"

namespace {

void Le32(uint8_t* p, uint32_t n) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<uint8_t>(n >> (8 * i));
}
void Le16(uint8_t* p, uint16_t n) {
  p[0] = static_cast<uint8_t>(n);
  p[1] = static_cast<uint8_t>(n >> 8);
}

}  // namespace

cWaveFileWrite::cWaveFileWrite() = default;

cWaveFileWrite::~cWaveFileWrite() { Close(); }

bool cWaveFileWrite::Open(const std::string& sPath, bool bCompressed) {
  Close();
  m_fp = std::fopen(sPath.c_str(), "wb");
  if (!m_fp) return false;
  m_bCompressed = bCompressed;
  if (bCompressed) m_pG711uCodec = std::make_unique<cG711uCodec>();
  m_nTotalWriteDataSize = 0;
  m_nCacheIndex = 0;
  WriteHeader();
  // Until the first flush the size fields hold a placeholder.
  std::fseek(m_fp, 4, SEEK_SET);
  std::fwrite("size", 1, 4, m_fp);
  std::fseek(m_fp, 42, SEEK_SET);
  std::fwrite("size", 1, 4, m_fp);
  std::fseek(m_fp, 0, SEEK_END);
  return true;
}

void cWaveFileWrite::WriteHeader() {
  uint8_t h[kHeaderSize];
  std::memcpy(h, "RIFF", 4);
  Le32(h + 4, m_nTotalWriteDataSize + 38);
  std::memcpy(h + 8, "WAVE", 4);
  std::memcpy(h + 12, "fmt ", 4);
  Le32(h + 16, 18);
  Le16(h + 20, m_bCompressed ? 7 : 1);
  Le16(h + 22, 1);
  Le32(h + 24, 8000);
  Le32(h + 28, m_bCompressed ? 8000 : 16000);
  Le16(h + 32, m_bCompressed ? 1 : 2);
  Le16(h + 34, m_bCompressed ? 8 : 16);
  Le16(h + 36, 0);
  std::memcpy(h + 38, "data", 4);
  Le32(h + 42, m_nTotalWriteDataSize);
  std::fseek(m_fp, 0, SEEK_SET);
  std::fwrite(h, 1, kHeaderSize, m_fp);
  std::fseek(m_fp, 0, SEEK_END);
}

void cWaveFileWrite::WriteUnitPCM(const int16_t* pUnit) {
  if (!m_fp) return;
  if (m_nCacheIndex >= kCacheBytes) FlushCache();
  std::memcpy(reinterpret_cast<uint8_t*>(m_sWriteCache) + m_nCacheIndex, pUnit, cAudioUnit::kBytes);
  m_nCacheIndex += cAudioUnit::kBytes;
}

void cWaveFileWrite::FlushCache() {
  if (m_bCompressed) {
    uint8_t coded[kCacheBytes / 2];
    const int nCoded = m_pG711uCodec->Encode(m_sWriteCache, m_nCacheIndex, coded);
    m_nTotalWriteDataSize += static_cast<uint32_t>(std::fwrite(coded, 1, nCoded, m_fp));
  } else {
    m_nTotalWriteDataSize +=
        static_cast<uint32_t>(std::fwrite(m_sWriteCache, 1, m_nCacheIndex, m_fp));
  }
  m_nCacheIndex = 0;
  WriteHeader();
}

void cWaveFileWrite::Close() {
  if (!m_fp) return;
  FlushCache();
  std::fclose(m_fp);
  m_fp = nullptr;
  m_pG711uCodec.reset();
}
