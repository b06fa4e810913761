#include "audio/cVirtualAudioBackend.h"

#include <algorithm>

#include "audio/cAudioUnit.h"
#include "audio/cSound.h"
#include "audio/cWaveFileRead.h"
#include "audio/cWaveFileWrite.h"
#include "util/eKytError.h"

cVirtualAudioBackend::cVirtualAudioBackend(std::string sMicWave, std::string sSpkWave)
    : m_sMicWave(std::move(sMicWave)), m_sSpkWave(std::move(sSpkWave)) {}

cVirtualAudioBackend::~cVirtualAudioBackend() { Close(); }

int cVirtualAudioBackend::Open(cSound* pSound) {
  Close();
  m_MicPCM.clear();
  m_nMicOffset = 0;
  if (!m_sMicWave.empty()) {
    cWaveFileRead mic;
    if (!mic.Open(m_sMicWave)) return kErrSoundInput;
    mic.Read(mic.GetSize(), m_MicPCM);
  }
  if (!m_sSpkWave.empty()) {
    auto pFile = std::make_unique<cWaveFileWrite>();
    if (!pFile->Open(m_sSpkWave, false)) return kErrSoundOutput;
    m_pSpkFile = std::move(pFile);
  }
  m_pSound = pSound;
  return 0;
}

void cVirtualAudioBackend::Close() {
  if (m_pSpkFile) m_pSpkFile->Close();
  m_pSpkFile.reset();
  m_pSound = nullptr;
}

void cVirtualAudioBackend::OnSoundTick() {
  if (!m_pSound) return;
  int16_t unit[cAudioUnit::kSamples];
  // The speaker plays what the previous tick produced.
  m_pSound->OnPlayFillData(unit, cAudioUnit::kBytes);
  if (m_pSpkFile) m_pSpkFile->WriteUnitPCM(unit);

  std::fill_n(unit, cAudioUnit::kSamples, 0);
  const size_t nCount = std::min<size_t>(cAudioUnit::kBytes, m_MicPCM.size() - m_nMicOffset);
  std::copy_n(m_MicPCM.begin() + m_nMicOffset, nCount, reinterpret_cast<uint8_t*>(unit));
  m_nMicOffset += nCount;
  m_pSound->OnRecordDone(unit, cAudioUnit::kBytes);
}
