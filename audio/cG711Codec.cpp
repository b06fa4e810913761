#include "audio/cG711Codec.h"

#include "audio/cAudioUnit.h"

int cG711Codec::EncodeOutPutSize(int nSizePCM) const {
  if (nSizePCM <= 0 || nSizePCM % cAudioUnit::kBytes != 0) return 0;
  return nSizePCM / 2;
}

uint8_t cG711Codec::EncodeSample(int16_t nSample) const {
  // The top 14 bits of the two's complement sample, as the G.711 reference coders take them.
  return m_pCompTable[static_cast<uint16_t>(nSample) >> 2];
}

int cG711Codec::Encode(const int16_t* pPCM, int nSizePCM, uint8_t* pOut) const {
  const int nOut = EncodeOutPutSize(nSizePCM);
  for (int i = 0; i < nOut; ++i) pOut[i] = EncodeSample(pPCM[i]);
  return nOut;
}

int cG711Codec::DecodeOutPutSize(int nSizeCoded) const {
  return nSizeCoded > 0 ? nSizeCoded * 2 : 0;
}

int cG711Codec::Decode(const uint8_t* pCoded, int nSizeCoded, int16_t* pOut) const {
  if (nSizeCoded <= 0) return 0;
  for (int i = 0; i < nSizeCoded; ++i) pOut[i] = m_pExpTable[pCoded[i]];
  return nSizeCoded * 2;
}

cG711Codec::sTables::sTables(int16_t (*pDecode)(uint8_t), uint8_t nMask) {
  for (int i = 0; i < kExpTableSize; ++i) m_ExpTable[i] = pDecode(static_cast<uint8_t>(i));
  constexpr int kHalf = kCompTableSize / 2;
  // A 14-bit value w sits at index w modulo 16384 (the top 14 bits of the sample).
  auto put = [this](int nValue, int nCode) {
    m_CompTable[(nValue + kCompTableSize) % kCompTableSize] = static_cast<uint8_t>(nCode);
  };
  auto level = [this, nMask](int nLevel) -> int { return m_ExpTable[nLevel ^ nMask]; };
  put(0, nMask);
  int nMagnitude = 1;
  for (int nLevel = 0; nLevel <= 127; ++nLevel) {
    // Decoded values are 16-bit; the midpoint to the next level in 14-bit units, rounded.
    const int nEnd = nLevel < 127 ? (level(nLevel) + level(nLevel + 1) + 4) >> 3 : kHalf;
    for (; nMagnitude < nEnd; ++nMagnitude) {
      put(nMagnitude, nLevel ^ nMask);
      put(-nMagnitude, nLevel ^ nMask ^ 0x80);
    }
  }
  put(-kHalf, m_CompTable[kCompTableSize - (kHalf - 1)]);
}
