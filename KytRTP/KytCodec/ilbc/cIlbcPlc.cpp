#include "KytRTP/KytCodec/ilbc/cIlbcPlc.h"

#include <cmath>
#include <cstring>

#include "KytRTP/KytCodec/ilbc/cIlbcFilter.h"

namespace {
constexpr float kVoiced = 0.7f;    // periodicity above which no noise is mixed in
constexpr float kUnvoiced = 0.4f;  // periodicity below which only noise is used

// Fade-out over a burst of losses, by samples already concealed.
float BurstGain(int nLostSamples) {
  if (nLostSamples > 1280) return 0.0f;
  if (nLostSamples > 960) return 0.5f;
  if (nLostSamples > 640) return 0.7f;
  if (nLostSamples > 320) return 0.9f;
  return 1.0f;
}
}  // namespace

cIlbcPlc::cIlbcPlc(const cIlbcMode& mode) : m_mode(mode) {}

void cIlbcPlc::AnalysePast() {
  const int nLen = m_mode.m_nBlockL;
  const int nMaxLag = kMaxLag < nLen - kMinLag ? kMaxLag : nLen - kMinLag;
  int nBest = kMaxLag < nLen ? kMaxLag : nLen;
  float fBestScore = 0.0f;
  float fBestNorm = 0.0f;
  for (int nLag = kMinLag; nLag <= nMaxLag; nLag++) {
    // Correlate the last stretch with the one a lag earlier.
    const int nWin = nLen - nLag;
    const float* pNow = m_arrPast + nLen - nWin;
    const float* pThen = pNow - nLag;
    const float fCorr = cIlbcFilter::Dot(pNow, pThen, nWin);
    if (fCorr <= 0.0f) continue;
    const float fEnNow = cIlbcFilter::Dot(pNow, pNow, nWin);
    const float fEnThen = cIlbcFilter::Dot(pThen, pThen, nWin);
    if (fEnNow <= 0.0f || fEnThen <= 0.0f) continue;
    const float fNorm = fCorr / std::sqrt(fEnNow * fEnThen);
    const float fScore = fCorr * fCorr / fEnThen;
    if (fScore > fBestScore) {
      fBestScore = fScore;
      fBestNorm = fNorm;
      nBest = nLag;
    }
  }
  m_nLag = nBest;
  m_fVoicing = fBestNorm;
}

float cIlbcPlc::NextRandom() {
  m_nSeed = m_nSeed * 1103515245u + 12345u;
  return static_cast<float>((m_nSeed >> 16) & 0x7fff) / 32768.0f;
}

float cIlbcPlc::Periodic(int nIndex) const {
  const int nLen = m_mode.m_nBlockL;
  return m_arrPast[nLen - m_nLag + (nIndex % m_nLag)];
}

void cIlbcPlc::Conceal(float* pExcitation) {
  const int nLen = m_mode.m_nBlockL;
  if (m_nLost == 0) AnalysePast();
  float fPitch = 1.0f;
  if (m_fVoicing < kUnvoiced) {
    fPitch = 0.0f;
  } else if (m_fVoicing < kVoiced) {
    fPitch = (m_fVoicing - kUnvoiced) / (kVoiced - kUnvoiced);
  }
  const float fGain = BurstGain(m_nLost * nLen);
  float arrOut[cIlbcMode::kMaxBlockL];
  for (int i = 0; i < nLen; i++) {
    const float fRep = Periodic(i);
    const int nPick = static_cast<int>(NextRandom() * static_cast<float>(nLen));
    const float fNoise = m_arrPast[nPick < nLen ? nPick : nLen - 1];
    arrOut[i] = fGain * (fPitch * fRep + (1.0f - fPitch) * fNoise);
  }
  // The concealment becomes the past, so a further loss continues it.
  std::memcpy(m_arrPast, arrOut, sizeof(float) * static_cast<size_t>(nLen));
  std::memcpy(pExcitation, arrOut, sizeof(float) * static_cast<size_t>(nLen));
  m_nLost++;
}

void cIlbcPlc::Received(float* pExcitation) {
  const int nLen = m_mode.m_nBlockL;
  if (m_nLost > 0) {
    // Continue the concealment in the phase that best matches the new
    // excitation, and cross-fade from it into the new frame.
    int nBestShift = 0;
    float fBest = 0.0f;
    for (int s = 0; s < m_nLag; s++) {
      float fCorr = 0.0f;
      for (int i = 0; i < kMerge; i++) fCorr += Periodic(s + i) * pExcitation[i];
      if (s == 0 || fCorr > fBest) {
        fBest = fCorr;
        nBestShift = s;
      }
    }
    const float fGain = BurstGain(m_nLost * nLen);
    for (int i = 0; i < kMerge; i++) {
      const float fW = static_cast<float>(i + 1) / static_cast<float>(kMerge + 1);
      pExcitation[i] = fW * pExcitation[i] + (1.0f - fW) * fGain * Periodic(nBestShift + i);
    }
  }
  std::memcpy(m_arrPast, pExcitation, sizeof(float) * static_cast<size_t>(nLen));
  m_nLost = 0;
}
