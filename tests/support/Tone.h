#pragma once

// Tones at 8000 samples a second, and what a test measures in the sound it got back.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kyttest {

constexpr int kSampleRate = 8000;

// A sine of dFreqHz, nAmplitude at its peak, nSamples long.
std::vector<int16_t> Tone(double dFreqHz, int nAmplitude, size_t nSamples);
// The power of one frequency in a block (Goertzel), divided by the square of the block's length
// so that blocks of different lengths compare.
double ToneLevel(const int16_t* pSamples, size_t nSamples, double dFreqHz);
// The strongest frequency of a block between 100 and 3900 Hz, in 10 Hz steps.
double DominantFrequency(const int16_t* pSamples, size_t nSamples);
// Root mean square; 0 for no samples.
double Rms(const int16_t* pSamples, size_t nSamples);
// How cleanly a received periodic sound (one period of it as the sender's codec decodes it in
// pPeriod) was played: each window of nWindow samples is aligned to the period at its best
// phase and its difference counted as noise; leading and trailing silence are left out.
// Answers the whole sound's SNR in dB and, in pPerWindow, each window's.
double PeriodicSnr(const std::vector<int16_t>& received, const std::vector<int16_t>& period,
                   size_t nWindow, std::vector<double>* pPerWindow = nullptr);

}  // namespace kyttest
