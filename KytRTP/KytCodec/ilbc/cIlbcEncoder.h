#pragma once

#include <cstdint>
#include <memory>

#include "util/cKytNoCopy.h"

class cIlbcEncoderCore;

// iLBC speech encoder (RFC 3951), floating point.
// One object per stream: it keeps the analysis history between frames.
class cIlbcEncoder : private cKytNoCopy {
 public:
  // nModeMs: 20 or 30; any other value selects 30 ms frames.
  explicit cIlbcEncoder(int nModeMs);
  ~cIlbcEncoder();

  int GetModeMs() const;
  // 160 (20 ms) or 240 (30 ms) samples per frame.
  int GetFrameSamples() const;
  // 38 (20 ms) or 50 (30 ms) bytes per coded frame.
  int GetFrameBytes() const;

  // Codes GetFrameSamples() samples (16-bit scale floats) into GetFrameBytes() bytes.
  void Encode(const float* pSamples, uint8_t* pFrame);

 private:
  std::unique_ptr<cIlbcEncoderCore> m_pCore;
};
