#include "KytRTP/KytCodec/ciLBCCodec.h"

#include <cmath>

#include "KytRTP/KytCodec/cCodecRTP.h"
#include "KytRTP/KytCodec/ilbc/cIlbcDecoder.h"
#include "KytRTP/KytCodec/ilbc/cIlbcEncoder.h"

namespace {

constexpr int kFrameBytes20 = 38;
constexpr int kFrameBytes30 = 50;
constexpr int kMaxFrameSamples = 240;

int NormalMode(int nModeMs) { return nModeMs == 20 ? 20 : 30; }
int PCMBlockSize(int nModeMs) { return nModeMs == 20 ? 320 : 480; }
int ILBCBlockSize(int nModeMs) { return nModeMs == 20 ? kFrameBytes20 : kFrameBytes30; }

void ToPCM(const float* pSamples, int nSamples, int16_t* pOut) {
  for (int n = 0; n < nSamples; ++n) {
    // Clamp first (a NaN clamps too) so the conversion stays in range; the cast truncates.
    const float fValue = std::fmax(-32768.0f, std::fmin(32767.0f, pSamples[n]));
    pOut[n] = static_cast<int16_t>(fValue);
  }
}

}  // namespace

ciLBCCodec::ciLBCCodec() {
  SetEncodeMode(30);
  SetDecodeMode(30);
}

ciLBCCodec::~ciLBCCodec() = default;

void ciLBCCodec::SetEncodeMode(int nModeMs) {
  nModeMs = NormalMode(nModeMs);
  if (nModeMs == m_nEncMode) return;
  m_nEncMode = nModeMs;
  m_nEncPCMBlockSize = PCMBlockSize(nModeMs);
  m_nEncILBCBlockSize = ILBCBlockSize(nModeMs);
  m_Enc_Inst = std::make_unique<cIlbcEncoder>(nModeMs);
}

void ciLBCCodec::SetDecodeMode(int nModeMs) {
  nModeMs = NormalMode(nModeMs);
  if (nModeMs == m_nDecMode) return;
  m_nDecMode = nModeMs;
  m_nDecPCMBlockSize = PCMBlockSize(nModeMs);
  m_nDecILBCBlockSize = ILBCBlockSize(nModeMs);
  m_Dec_Inst = std::make_unique<cIlbcDecoder>(nModeMs, true);
}

void ciLBCCodec::ResetDecoder() { m_Dec_Inst = std::make_unique<cIlbcDecoder>(m_nDecMode, true); }

int ciLBCCodec::GetStreamMode(int nSizeCoded) {
  if (nSizeCoded <= 0) return -1;
  if (nSizeCoded % kFrameBytes30 == 0) return 30;
  if (nSizeCoded % kFrameBytes20 == 0) return 20;
  return -1;
}

int ciLBCCodec::GetStreamSizePCM(int nSizeCoded) {
  const int nMode = GetStreamMode(nSizeCoded);
  if (nMode < 0) return -1;
  return nSizeCoded / ILBCBlockSize(nMode) * PCMBlockSize(nMode);
}

int ciLBCCodec::EncodeOutPutSize(int nSizePCM) const {
  return nSizePCM > 0 ? nSizePCM * m_nEncILBCBlockSize / m_nEncPCMBlockSize : 0;
}

int ciLBCCodec::Encode(const int16_t* pPCM, int nSizePCM, uint8_t* pOut) {
  if (nSizePCM <= 0) return 0;
  const int nFrames = nSizePCM / m_nEncPCMBlockSize;
  const int nSamples = m_nEncPCMBlockSize / 2;
  float samples[kMaxFrameSamples];
  for (int i = 0; i < nFrames; ++i) {
    const int16_t* pFrame = pPCM + i * nSamples;
    for (int n = 0; n < nSamples; ++n) samples[n] = pFrame[n];
    m_Enc_Inst->Encode(samples, pOut + i * m_nEncILBCBlockSize);
  }
  return nFrames * m_nEncILBCBlockSize;
}

int ciLBCCodec::DecodeOutPutSize(int nSizeCoded) const {
  return nSizeCoded > 0 ? nSizeCoded * m_nDecPCMBlockSize / m_nDecILBCBlockSize : 0;
}

int ciLBCCodec::Decode(const uint8_t* pCoded, int nSizeCoded, int16_t* pOut) {
  if (nSizeCoded <= 0) return 0;
  const int nFrames = nSizeCoded / m_nDecILBCBlockSize;
  const int nSamples = m_nDecPCMBlockSize / 2;
  float samples[kMaxFrameSamples];
  for (int i = 0; i < nFrames; ++i) {
    m_Dec_Inst->Decode(pCoded + i * m_nDecILBCBlockSize, samples);
    ToPCM(samples, nSamples, pOut + i * nSamples);
  }
  return nFrames * m_nDecPCMBlockSize;
}

int ciLBCCodec::DecodeLost(int16_t* pOut, int nSamples) {
  const int nFrameSamples = m_nDecPCMBlockSize / 2;
  const int nFrames = nSamples > 0 ? nSamples / nFrameSamples : 0;
  float samples[kMaxFrameSamples];
  for (int i = 0; i < nFrames; ++i) {
    m_Dec_Inst->DecodeLost(samples);
    ToPCM(samples, nFrameSamples, pOut + i * nFrameSamples);
  }
  return nFrames * nFrameSamples;
}

bool ciLBCCodec::IsValid(int nSizeCoded) const { return GetStreamMode(nSizeCoded) != -1; }
