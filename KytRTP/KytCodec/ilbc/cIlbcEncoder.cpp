#include "KytRTP/KytCodec/ilbc/cIlbcEncoder.h"

#include "KytRTP/KytCodec/ilbc/cIlbcEncoderCore.h"

cIlbcEncoder::cIlbcEncoder(int nModeMs) : m_pCore(std::make_unique<cIlbcEncoderCore>(nModeMs)) {}

cIlbcEncoder::~cIlbcEncoder() = default;

int cIlbcEncoder::GetModeMs() const { return m_pCore->Mode().m_nModeMs; }

int cIlbcEncoder::GetFrameSamples() const { return m_pCore->Mode().m_nBlockL; }

int cIlbcEncoder::GetFrameBytes() const { return m_pCore->Mode().m_nBytes; }

void cIlbcEncoder::Encode(const float* pSamples, uint8_t* pFrame) {
  m_pCore->Encode(pSamples, pFrame);
}
