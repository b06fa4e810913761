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

}  // namespace kyttest
