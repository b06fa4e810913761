#include "KytRTP/KytCodec/cG610Codec.h"

#include <gsm.h>

#include <algorithm>
#include <cstring>

#include "audio/cAudioUnit.h"

cG610Codec::cG610Codec() : m_hEncGSM610(gsm_create()), m_hDecGSM610(gsm_create()) {}

cG610Codec::~cG610Codec() {
  if (m_hEncGSM610) gsm_destroy(m_hEncGSM610);
  if (m_hDecGSM610) gsm_destroy(m_hDecGSM610);
}

int cG610Codec::EncodeOutPutSize(int nSizePCM) const {
  return nSizePCM > 0 ? nSizePCM * kFrameBytes / cAudioUnit::kBytes : 0;
}

int cG610Codec::Encode(const int16_t* pPCM, int nSizePCM, uint8_t* pOut) {
  if (!m_hEncGSM610 || nSizePCM <= 0) return 0;
  const int nFrames = nSizePCM / cAudioUnit::kBytes;
  gsm_signal frame[cAudioUnit::kSamples];
  for (int i = 0; i < nFrames; ++i) {
    std::memcpy(frame, pPCM + i * cAudioUnit::kSamples, sizeof(frame));
    gsm_encode(m_hEncGSM610, frame, pOut + i * kFrameBytes);
  }
  return nFrames * kFrameBytes;
}

int cG610Codec::DecodeOutPutSize(int nSizeCoded) const {
  return nSizeCoded > 0 ? nSizeCoded * cAudioUnit::kBytes / kFrameBytes : 0;
}

int cG610Codec::Decode(const uint8_t* pCoded, int nSizeCoded, int16_t* pOut) {
  if (!m_hDecGSM610 || nSizeCoded <= 0) return 0;
  const int nFrames = nSizeCoded / kFrameBytes;
  gsm_byte frame[kFrameBytes];
  for (int i = 0; i < nFrames; ++i) {
    std::memcpy(frame, pCoded + i * kFrameBytes, kFrameBytes);
    int16_t* pSamples = pOut + i * cAudioUnit::kSamples;
    if (gsm_decode(m_hDecGSM610, frame, pSamples) < 0)
      std::fill(pSamples, pSamples + cAudioUnit::kSamples, 0);
  }
  return nFrames * cAudioUnit::kBytes;
}

bool cG610Codec::IsValid(int nSizeCoded) const {
  return nSizeCoded > 0 && nSizeCoded % kFrameBytes == 0;
}
