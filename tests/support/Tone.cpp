#include "tests/support/Tone.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace kyttest {

std::vector<int16_t> Tone(double dFreqHz, int nAmplitude, size_t nSamples) {
  std::vector<int16_t> samples(nSamples);
  for (size_t i = 0; i < nSamples; ++i)
    samples[i] = static_cast<int16_t>(std::lround(
        nAmplitude * std::sin(2.0 * std::numbers::pi * dFreqHz * double(i) / kSampleRate)));
  return samples;
}

double ToneLevel(const int16_t* pSamples, size_t nSamples, double dFreqHz) {
  if (nSamples == 0) return 0;
  const double dCoeff = 2.0 * std::cos(2.0 * std::numbers::pi * dFreqHz / kSampleRate);
  double s1 = 0, s2 = 0;
  for (size_t i = 0; i < nSamples; ++i) {
    const double s0 = pSamples[i] + dCoeff * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  const double dLength = double(nSamples);
  return (s1 * s1 + s2 * s2 - dCoeff * s1 * s2) / dLength / dLength;
}

double DominantFrequency(const int16_t* pSamples, size_t nSamples) {
  double dBest = 0, dBestLevel = -1;
  for (double dFreq = 100; dFreq <= 3900; dFreq += 10) {
    const double dLevel = ToneLevel(pSamples, nSamples, dFreq);
    if (dLevel > dBestLevel) {
      dBestLevel = dLevel;
      dBest = dFreq;
    }
  }
  return dBest;
}

double Rms(const int16_t* pSamples, size_t nSamples) {
  if (nSamples == 0) return 0;
  double dSum = 0;
  for (size_t i = 0; i < nSamples; ++i) dSum += double(pSamples[i]) * pSamples[i];
  return std::sqrt(dSum / double(nSamples));
}

double PeriodicSnr(const std::vector<int16_t>& received, const std::vector<int16_t>& period,
                   size_t nWindow, std::vector<double>* pPerWindow) {
  size_t nBegin = 0, nEnd = received.size();
  while (nBegin < nEnd && received[nBegin] == 0) ++nBegin;
  while (nEnd > nBegin && received[nEnd - 1] == 0) --nEnd;
  const size_t nPeriod = period.size();
  if (nPeriod == 0 || nWindow == 0 || nBegin == nEnd) return -100.0;
  double dSignal = 0, dNoise = 0;
  for (size_t at = nBegin; at < nEnd; at += nWindow) {
    const size_t nLength = std::min(nWindow, nEnd - at);
    double dBestNoise = -1, dBestSignal = 0;
    for (size_t nPhase = 0; nPhase < nPeriod; ++nPhase) {
      double dS = 0, dN = 0;
      for (size_t i = 0; i < nLength; ++i) {
        const double x = period[(nPhase + i) % nPeriod];
        const double d = received[at + i] - x;
        dS += x * x;
        dN += d * d;
      }
      if (dBestNoise < 0 || dN < dBestNoise) {
        dBestNoise = dN;
        dBestSignal = dS;
      }
    }
    dSignal += dBestSignal;
    dNoise += dBestNoise;
    if (pPerWindow)
      pPerWindow->push_back(dBestNoise > 0 ? 10 * std::log10(dBestSignal / dBestNoise) : 200.0);
  }
  return dNoise > 0 ? 10 * std::log10(dSignal / dNoise) : 200.0;
}

}  // namespace kyttest
