#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/Tone.h"
#include "tests/support/WaveFile.h"

// Helpers shared by the media tests: external tools, raw files and signal comparison.
namespace mediatest {

using kyttest::ReadWave;
using kyttest::Tone;
using kyttest::ToneLevel;
using kyttest::WriteWave;

// Runs a shell command; returns its exit status (127 when the program is missing).
int RunCommand(const std::string& sCommand);

std::vector<uint8_t> ReadBytes(const std::string& sPath);
void WriteBytes(const std::string& sPath, const std::vector<uint8_t>& data);
std::vector<int16_t> ReadRawPCM(const std::string& sPath);
void WriteRawPCM(const std::string& sPath, const std::vector<int16_t>& pcm);
// An 8-bit mono PCM WAVE file at 8000 Hz of nSamples samples, each nValue (128 is silence).
void WriteEightBitWave(const std::string& sPath, size_t nSamples, uint8_t nValue);

std::string DataFile(const std::string& sName);

// Signal-to-noise ratio of the received sound against the sound expected, in dB. The path works
// in 20 ms units and may delay, repeat or skip units (jitter buffer), so each received unit is
// compared with the expected sound at the delay, in steps of nDelayStep samples up to
// nMaxDelay, that fits it best. Silent received units before the first sound are skipped.
struct sSnrResult {
  double dSnrDb = -100.0;
  int nUnitsCompared = 0;
  int nDelaySamples = -1;  // the delay most units matched at
  int nExpectedUnitsHeard =
      0;  // distinct non-silent expected units that some received unit matched
};
// Units of the sound that are not digital silence.
int CountSoundUnits(const std::vector<int16_t>& pcm);
sSnrResult MeasureSnr(const std::vector<int16_t>& expected, const std::vector<int16_t>& received,
                      int nDelayStep, int nMaxDelay);

}  // namespace mediatest
