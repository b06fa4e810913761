#pragma once

#include <cstdint>

#include "util/cKytNoCopy.h"

struct gsm_state;

// GSM 06.10 full rate over libgsm: 160 samples (320 bytes) per 33-byte frame.
// One coder state per direction, kept for the life of the object.
class cG610Codec : private cKytNoCopy {
 public:
  static constexpr int kFrameBytes = 33;

  cG610Codec();
  ~cG610Codec();

  int EncodeOutPutSize(int nSizePCM) const;
  // Encodes whole 320-byte frames; returns the bytes written.
  int Encode(const int16_t* pPCM, int nSizePCM, uint8_t* pOut);
  int DecodeOutPutSize(int nSizeCoded) const;
  // Decodes whole 33-byte frames; a frame libgsm refuses decodes to silence.
  int Decode(const uint8_t* pCoded, int nSizeCoded, int16_t* pOut);
  bool IsValid(int nSizeCoded) const;

 private:
  gsm_state* m_hEncGSM610;
  gsm_state* m_hDecGSM610;
};
