#pragma once

#include <cstdint>
#include <memory>

#include "util/cKytNoCopy.h"

class cIlbcDecoderCore;

// iLBC speech decoder (RFC 3951), floating point, with the optional
// pitch enhancer and packet-loss concealment.
class cIlbcDecoder : private cKytNoCopy {
 public:
  // nModeMs: 20 or 30; any other value selects 30 ms frames.
  cIlbcDecoder(int nModeMs, bool bEnhancer = true);
  ~cIlbcDecoder();

  int GetModeMs() const;
  int GetFrameSamples() const;
  int GetFrameBytes() const;

  // Decodes one GetFrameBytes()-byte frame into GetFrameSamples() samples
  // (16-bit scale floats, not clamped). Any byte content is safe: a frame
  // that carries invalid fields is concealed like a lost one.
  void Decode(const uint8_t* pFrame, float* pSamples);
  // Conceals a lost frame: writes GetFrameSamples() samples.
  void DecodeLost(float* pSamples);

 private:
  std::unique_ptr<cIlbcDecoderCore> m_pCore;
};
