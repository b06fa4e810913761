#pragma once

#include <cstdint>

// Energy-based voice activity detector with an adaptive noise floor; also the level meter of
// the sound device.
class cVAD {
 public:
  cVAD() { InitOBJ(); }
  void InitOBJ();
  // True for a silent block.
  bool IsSilence(const int16_t* pSamples, int nCount);
  // 0 (-58 dB or quieter) to 100 (-8 dB or louder); drops to 0 after more than 10 readings
  // without a block processed.
  int GetSoundLevel();

 private:
  struct sState {
    uint8_t nEnabled;
    uint64_t nShortTermEnergy;
    int32_t nSpeechState;  // 1 speech, 0 silence, 2 not yet decided
    int32_t nHangover;
    float fMargin;
    int32_t nNoiseTimer;
    float fNoiseFloor;
    int32_t nRising;
    int32_t nTransitions;
  };

  bool vadProcess(const int16_t* pSamples, int nCount);
  bool vadSubProcess(const int16_t* pSamples, int nCount);

  sState vadd{};
  int m_nVoiceLevel = 0;
  int m_nPrev = 0;
  int m_nDataCount = 0;
};
