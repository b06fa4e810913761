#pragma once

#include <cstdint>
#include <string>
#include <vector>

// 16-bit mono PCM WAVE files at 8000 Hz: the tones the two sides play and what they recorded.
class cPcmWaveFile {
 public:
  static bool Write(const std::string& sPath, const std::vector<int16_t>& samples);
  // The samples of the data chunk; empty when the file is missing, not a WAVE file or holds
  // no data. A data chunk longer than the file is cut at the end of the file.
  static std::vector<int16_t> Read(const std::string& sPath);
  static std::vector<int16_t> Tone(double dFreqHz, int nAmplitude, size_t nSamples);
};
