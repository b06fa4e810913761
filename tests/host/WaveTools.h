#pragma once

#include <cstdint>
#include <string>
#include <vector>

// WAVE files of 16-bit mono PCM at 8000 Hz as the virtual sound device reads and writes them,
// and what a test looks for in them.
namespace wavetools {

constexpr int kRate = 8000;

// A sine of dFrequency Hz, nAmplitude peak, nSamples long.
std::vector<int16_t> Tone(double dFrequency, int nAmplitude, size_t nSamples);
bool WriteWave(const std::string& path, const std::vector<int16_t>& samples);
// The samples of the data chunk; empty when the file is not a 16-bit mono 8000 Hz WAVE file.
std::vector<int16_t> ReadWave(const std::string& path);

// Root mean square of the samples.
double Rms(const std::vector<int16_t>& samples);
// The strongest frequency between 100 and 3900 Hz, in 10 Hz steps.
double DominantFrequency(const std::vector<int16_t>& samples);

}  // namespace wavetools
