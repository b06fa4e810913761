#include "audio/cWaveFileWrite.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
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

// Writes nSize bytes at the file's position (nAt < 0) or at nAt, as far as the system takes them;
// answers the bytes written.
uint32_t WriteAll(int nFd, const void* pData, int nSize, off_t nAt = -1) {
  const auto* p = static_cast<const uint8_t*>(pData);
  int nDone = 0;
  while (nDone < nSize) {
    const auto nLeft = static_cast<size_t>(nSize - nDone);
    const ssize_t n =
        nAt < 0 ? ::write(nFd, p + nDone, nLeft) : ::pwrite(nFd, p + nDone, nLeft, nAt + nDone);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    nDone += static_cast<int>(n);
  }
  return static_cast<uint32_t>(nDone);
}

}  // namespace

cWaveFileWrite::cWaveFileWrite() = default;

cWaveFileWrite::~cWaveFileWrite() { Close(); }

bool cWaveFileWrite::Open(const std::string& sPath, bool bCompressed) {
  Close();
  m_nFd = ::open(sPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (m_nFd < 0) return false;
  m_bCompressed = bCompressed;
  if (bCompressed) m_pG711uCodec = std::make_unique<cG711uCodec>();
  m_nTotalWriteDataSize = 0;
  m_nCacheIndex = 0;
  uint8_t h[kHeaderSize];
  MakeHeader(h);
  // Until the first flush the size fields hold a placeholder.
  std::memcpy(h + 4, "size", 4);
  std::memcpy(h + 42, "size", 4);
  WriteAll(m_nFd, h, kHeaderSize);
  return true;
}

void cWaveFileWrite::MakeHeader(uint8_t* h) const {
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
}

void cWaveFileWrite::WriteUnitPCM(const int16_t* pUnit) {
  if (m_nFd < 0) return;
  if (m_nCacheIndex >= kCacheBytes) FlushCache();
  std::memcpy(reinterpret_cast<uint8_t*>(m_sWriteCache) + m_nCacheIndex, pUnit, cAudioUnit::kBytes);
  m_nCacheIndex += cAudioUnit::kBytes;
}

void cWaveFileWrite::FlushCache() {
  if (m_bCompressed) {
    uint8_t coded[kCacheBytes / 2];
    const int nCoded = m_pG711uCodec->Encode(m_sWriteCache, m_nCacheIndex, coded);
    m_nTotalWriteDataSize += WriteAll(m_nFd, coded, nCoded);
  } else {
    m_nTotalWriteDataSize += WriteAll(m_nFd, m_sWriteCache, m_nCacheIndex);
  }
  m_nCacheIndex = 0;
  uint8_t h[kHeaderSize];
  MakeHeader(h);
  WriteAll(m_nFd, h, kHeaderSize, 0);
}

void cWaveFileWrite::Close() {
  if (m_nFd < 0) return;
  FlushCache();
  ::close(m_nFd);
  m_nFd = -1;
  m_pG711uCodec.reset();
}
