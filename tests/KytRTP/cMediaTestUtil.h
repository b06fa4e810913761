#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Helpers shared by the media tests: scratch directories, external tools, raw and WAVE files,
// synthetic signals and signal comparison.
namespace mediatest {

// A fresh directory under the test temp dir, removed with the object.
class cScratchDir {
 public:
  cScratchDir();
  ~cScratchDir();
  const std::string& Path() const { return m_sPath; }
  std::string File(const std::string& sName) const { return m_sPath + "/" + sName; }

 private:
  std::string m_sPath;
};

// Runs a shell command; returns its exit status (127 when the program is missing).
int RunCommand(const std::string& sCommand);
bool HaveProgram(const std::string& sName);

std::vector<uint8_t> ReadBytes(const std::string& sPath);
void WriteBytes(const std::string& sPath, const std::vector<uint8_t>& data);
std::vector<int16_t> ReadRawPCM(const std::string& sPath);
void WriteRawPCM(const std::string& sPath, const std::vector<int16_t>& pcm);
// Samples of a 16-bit mono PCM WAVE file (empty on any error).
std::vector<int16_t> ReadWavePCM(const std::string& sPath);
void WriteWavePCM(const std::string& sPath, const std::vector<int16_t>& pcm);

std::string DataFile(const std::string& sName);

std::vector<int16_t> Tone(double dFreqHz, int nAmplitude, int nSamples);

// Power of one frequency in a block (Goertzel), relative units.
double ToneLevel(const int16_t* pSamples, int nSamples, double dFreqHz);

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
