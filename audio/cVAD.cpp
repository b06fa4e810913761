#include "audio/cVAD.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>

namespace {

constexpr int kSubFrame = 40;
constexpr int kHangoverSamples = 4000;
constexpr int kNoiseTimerSamples = 12000;
constexpr int kSilentLevelDb = 58;

// How far ApproxLevelDb may be from LevelDb, with a wide margin (the series' error is below
// 2e-7 dB).
constexpr double kApproxDb = 1e-5;

double LevelDb(uint64_t nEnergy) {
  return 10.0 * std::log10(static_cast<double>(std::max<uint64_t>(nEnergy, 1))) - 93.32;
}

// LevelDb to within kApproxDb, without the maths library, whose first call in a tick costs more
// than this arithmetic: ln(m 2^e) = e ln 2 + 2 atanh((m - 1) / (m + 1)) with m in
// [sqrt(1/2), sqrt(2)), the series cut after its fourth term.
double ApproxLevelDb(uint64_t nEnergy) {
  const auto nBits = std::bit_cast<uint64_t>(static_cast<double>(std::max<uint64_t>(nEnergy, 1)));
  int nExponent = static_cast<int>(nBits >> 52) - 1023;
  double dMantissa = std::bit_cast<double>((nBits & 0xFFFFFFFFFFFFFull) | 0x3FF0000000000000ull);
  if (dMantissa > 1.4142135623730951) {
    dMantissa *= 0.5;
    ++nExponent;
  }
  const double t = (dMantissa - 1.0) / (dMantissa + 1.0);
  const double t2 = t * t;
  const double dLn = nExponent * 0.6931471805599453 +
                     2.0 * t * (1.0 + t2 * (1.0 / 3.0 + t2 * (1.0 / 5.0 + t2 * (1.0 / 7.0))));
  return 4.342944819032518 * dLn - 93.32;
}

// Whether the level of nEnergy is above dThreshold, from dLevel (exact when bExact, else off by
// at most kApproxDb): the exact level decides only where the estimate cannot.
bool IsAbove(uint64_t nEnergy, double dLevel, bool bExact, double dThreshold) {
  if (bExact) return dLevel > dThreshold;
  if (dLevel > dThreshold + kApproxDb) return true;
  if (dLevel < dThreshold - kApproxDb) return false;
  return LevelDb(nEnergy) > dThreshold;
}

}  // namespace

void cVAD::InitOBJ() {
  vadd.nEnabled = 1;
  vadd.nShortTermEnergy = 10000;
  vadd.nSpeechState = 2;
  vadd.nHangover = kHangoverSamples;
  vadd.fMargin = 10.0f;
  vadd.nNoiseTimer = kNoiseTimerSamples;
  vadd.fNoiseFloor = -74.0f;
  vadd.nRising = 1;
  vadd.nTransitions = 0;
  m_nVoiceLevel = 0;
  m_nPrev = 1700;
  m_nDataCount = 0;
}

bool cVAD::IsSilence(const int16_t* pSamples, int nCount) { return !vadProcess(pSamples, nCount); }

bool cVAD::vadProcess(const int16_t* pSamples, int nCount) {
  m_nDataCount = std::max(m_nDataCount - 1, 0);
  if (vadd.nEnabled != 1) return true;
  bool bVoice = false;
  for (int nPos = 0; nPos < nCount; nPos += kSubFrame)
    bVoice |= vadSubProcess(pSamples + nPos, std::min(kSubFrame, nCount - nPos));
  return bVoice;
}

bool cVAD::vadSubProcess(const int16_t* pSamples, int nCount) {
  uint64_t nEnergy = vadd.nShortTermEnergy;
  uint64_t nHigh = nEnergy, nLow = nEnergy;
  for (int i = 0; i < nCount; ++i) {
    const int64_t y = static_cast<int64_t>(pSamples[i]) - m_nPrev;  // difference filter
    m_nPrev = pSamples[i];
    const int64_t nSquare = y * y;
    const int64_t nEnergyNow = static_cast<int64_t>(nEnergy);
    const int64_t nDelta =
        vadd.nRising ? (nSquare >> 5) - (nEnergyNow >> 6) : (nSquare >> 8) - (nEnergyNow >> 9);
    vadd.nRising = nDelta > 0;
    nEnergy = static_cast<uint64_t>(nEnergyNow + nDelta);
    nHigh = std::max(nHigh, nEnergy);
    nLow = std::min(nLow, nEnergy);
  }
  vadd.nShortTermEnergy = nEnergy;

  // The exact level where the estimate cannot settle the meter's whole decibels or the floor
  // (which takes the level itself).
  const double dApprox = ApproxLevelDb(nLow);
  const bool bExact =
      static_cast<int>(dApprox - kApproxDb) != static_cast<int>(dApprox + kApproxDb) ||
      vadd.fNoiseFloor >= dApprox - kApproxDb;
  const double dLow = bExact ? LevelDb(nLow) : dApprox;
  m_nVoiceLevel = static_cast<int>(dLow);

  if (vadd.fNoiseFloor >= dLow) {
    vadd.fNoiseFloor = static_cast<float>(dLow);
    vadd.nNoiseTimer = kNoiseTimerSamples;
  } else if (vadd.nNoiseTimer >= nCount) {
    vadd.nNoiseTimer -= nCount;
  } else {
    vadd.fNoiseFloor += 1.0f;
    vadd.nNoiseTimer = vadd.nNoiseTimer + kNoiseTimerSamples - nCount;
  }

  // The level only grows with the energy: when the block's lowest level already clears the
  // threshold, its highest does too.
  const double dThreshold = vadd.fNoiseFloor + vadd.fMargin;
  if (IsAbove(nLow, dLow, bExact, dThreshold) ||
      (nHigh != nLow && IsAbove(nHigh, ApproxLevelDb(nHigh), false, dThreshold))) {
    vadd.nHangover = kHangoverSamples;
    if (vadd.nSpeechState == 0) ++vadd.nTransitions;
    vadd.nSpeechState = 1;
    return true;
  }
  if (vadd.nHangover >= nCount) {
    vadd.nHangover -= nCount;
    return true;
  }
  vadd.nHangover = 0;
  if (vadd.nSpeechState == 1) ++vadd.nTransitions;
  vadd.nSpeechState = 0;
  return false;
}

int cVAD::GetSoundLevel() {
  if (++m_nDataCount > 10) {
    m_nDataCount = 0;
    m_nVoiceLevel = kSilentLevelDb;
  }
  return std::min(100, 2 * (kSilentLevelDb - std::min(std::abs(m_nVoiceLevel), kSilentLevelDb)));
}
