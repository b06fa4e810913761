#include "KytRTP/KytCodec/ilbc/cIlbcDecoder.h"

#include "KytRTP/KytCodec/ilbc/cIlbcDecoderCore.h"

cIlbcDecoder::cIlbcDecoder(int nModeMs, bool bEnhancer)
    : m_pCore(std::make_unique<cIlbcDecoderCore>(nModeMs, bEnhancer)) {}

cIlbcDecoder::~cIlbcDecoder() = default;

int cIlbcDecoder::GetModeMs() const { return m_pCore->Mode().m_nModeMs; }

int cIlbcDecoder::GetFrameSamples() const { return m_pCore->Mode().m_nBlockL; }

int cIlbcDecoder::GetFrameBytes() const { return m_pCore->Mode().m_nBytes; }

void cIlbcDecoder::Decode(const uint8_t* pFrame, float* pSamples) {
  m_pCore->Decode(pFrame, pSamples);
}

void cIlbcDecoder::DecodeLost(float* pSamples) { m_pCore->DecodeLost(pSamples); }
