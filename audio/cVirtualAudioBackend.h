#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "audio/cAudioBackend.h"

class cWaveFileWrite;

// A sound device without hardware, paced by the sound tick: the microphone plays a WAVE file
// once (8000 Hz mono) and then silence, or silence only; the speaker is written to a 16-bit WAVE
// file, or nowhere. Each tick takes one speaker unit and gives one microphone unit.
class cVirtualAudioBackend : public cAudioBackend {
 public:
  // An empty name means silence for the microphone and nowhere for the speaker.
  cVirtualAudioBackend(std::string sMicWave, std::string sSpkWave);
  ~cVirtualAudioBackend() override;

  // 14 when the microphone file cannot be read, 15 when the speaker file cannot be created.
  int Open(cSound* pSound) override;
  void Close() override;
  void OnSoundTick() override;

 private:
  std::string m_sMicWave;
  std::string m_sSpkWave;
  cSound* m_pSound = nullptr;
  std::vector<uint8_t> m_MicPCM;
  size_t m_nMicOffset = 0;
  std::unique_ptr<cWaveFileWrite> m_pSpkFile;
};
