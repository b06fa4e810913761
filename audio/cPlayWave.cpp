#include "audio/cPlayWave.h"

#include <algorithm>

#include "audio/cAudioUnit.h"
#include "audio/cCircularBUFF.h"
#include "audio/cWaveFileRead.h"

namespace {

constexpr int kBytesPerSecond = 16000;
constexpr int kBlockSeconds = 3;
constexpr int kListenBufferBytes = 64000;
// Playback runs in whole 30 ms blocks, the last one padded with silence.
constexpr int kPlayBlockMs = 30;
constexpr int kPlayBlockBytes = 480;

}  // namespace

cPlayWave::cPlayWave(std::function<void()> pfnPlayDone)
    : m_pfnPlayDone(std::move(pfnPlayDone)),
      m_pWaveFile(std::make_unique<cWaveFileRead>()),
      m_pCircularBUFF(std::make_unique<cCircularBUFF>(kListenBufferBytes)) {}

cPlayWave::~cPlayWave() = default;

int cPlayWave::WaveFileOpen(const std::string& sPath) {
  WaveFileClose();
  if (!m_pWaveFile->Open(sPath)) return m_pWaveFile->GetObjectError();
  m_bPlayWaveClose = false;
  m_pWaveFile->SeekTo(0);
  m_bFillPlayBuff = true;
  m_nPlaySize = 0;
  return 0;
}

void cPlayWave::WaveFilePlay(bool bListen) {
  if (m_bPlayWaveClose || m_pWaveFile->GetSize() < 1) return;
  m_bListen = bListen;
  m_bPlayWave = true;
}

void cPlayWave::WaveFilePause() {
  if (!m_bPlayWaveClose) m_bPlayWave = false;
}

void cPlayWave::WaveFileStop() {
  if (m_bPlayWaveClose) return;
  m_bPlayWave = false;
  m_nPlaySize = 0;
  m_pWaveFile->SeekTo(0);
  m_bFillPlayBuff = true;
}

void cPlayWave::WaveFileClose() {
  m_bPlayWaveClose = true;
  m_bPlayWave = false;
  m_pWaveFile->Close();
  m_pPlayBuff.clear();
  m_dwPlayBuffIndex = 0;
  m_pCircularBUFF->ResetBUFF();
}

void cPlayWave::WaveFileSkipTo(int nSeconds) {
  if (m_bPlayWaveClose) return;
  nSeconds = std::clamp(nSeconds, 0, m_pWaveFile->GetSize());
  m_nPlaySize = int64_t{nSeconds} * kBytesPerSecond;
  m_pWaveFile->SeekTo(nSeconds);
  m_bFillPlayBuff = true;
}

int cPlayWave::WaveFilePlayPos() const { return static_cast<int>(m_nPlaySize / kBytesPerSecond); }

int cPlayWave::WaveFileTotalPlayTime() const {
  return m_bPlayWaveClose ? 0 : m_pWaveFile->GetSize();
}

void cPlayWave::ReadBlock() {
  // Past the end of the file the block is silence, up to the padded end of play.
  if (!m_pWaveFile->Read(kBlockSeconds, m_pPlayBuff)) m_pPlayBuff.assign(kBytesPerSecond, 0);
  m_dwPlayBuffIndex = 0;
}

bool cPlayWave::FillToPlayUnitPCM(int16_t* pUnit) {
  if (!m_bPlayWave || m_bPlayWaveClose) return false;
  const int64_t nMs = m_pWaveFile->GetSizeMilliSecond();
  const int64_t nPlayLength = (nMs + kPlayBlockMs - 1) / kPlayBlockMs * kPlayBlockBytes;
  if (m_nPlaySize >= nPlayLength) {
    WaveFileStop();
    if (m_pfnPlayDone) m_pfnPlayDone();
    return false;
  }
  if (m_bFillPlayBuff || m_dwPlayBuffIndex >= m_pPlayBuff.size()) {
    m_bFillPlayBuff = false;
    ReadBlock();
  }
  auto* pOut = reinterpret_cast<uint8_t*>(pUnit);
  size_t nCopied = std::min<size_t>(cAudioUnit::kBytes, m_pPlayBuff.size() - m_dwPlayBuffIndex);
  std::copy_n(m_pPlayBuff.begin() + m_dwPlayBuffIndex, nCopied, pOut);
  m_dwPlayBuffIndex += nCopied;
  if (nCopied < cAudioUnit::kBytes) {
    ReadBlock();
    const size_t nRest = std::min<size_t>(cAudioUnit::kBytes - nCopied, m_pPlayBuff.size());
    std::copy_n(m_pPlayBuff.begin(), nRest, pOut + nCopied);
    m_dwPlayBuffIndex = nRest;
    nCopied += nRest;
  }
  std::fill(pOut + nCopied, pOut + cAudioUnit::kBytes, 0);
  m_nPlaySize += cAudioUnit::kBytes;
  if (m_bListen) m_pCircularBUFF->WriteToBUFF(pUnit, cAudioUnit::kBytes);
  return true;
}

bool cPlayWave::FillToListen(int16_t* pUnit) {
  return m_pCircularBUFF->ReadToBUFF(pUnit, cAudioUnit::kBytes);
}
