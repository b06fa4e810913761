#include "WaveTools.h"

#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <numbers>

namespace wavetools {

namespace {

void PutLE(std::string& out, uint32_t nValue, int nBytes) {
  for (int i = 0; i < nBytes; ++i) out.push_back(static_cast<char>((nValue >> (8 * i)) & 0xFF));
}

uint32_t GetLE(const std::string& in, size_t nAt, int nBytes) {
  uint32_t nValue = 0;
  for (int i = nBytes - 1; i >= 0; --i)
    nValue = (nValue << 8) | static_cast<uint8_t>(in[nAt + static_cast<size_t>(i)]);
  return nValue;
}

// Power of one frequency in the samples (Goertzel).
double Power(const std::vector<int16_t>& samples, double dFrequency) {
  const double dCoefficient = 2.0 * std::cos(2.0 * std::numbers::pi * dFrequency / kRate);
  double s1 = 0, s2 = 0;
  for (int16_t nSample : samples) {
    const double s0 = nSample + dCoefficient * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return s1 * s1 + s2 * s2 - dCoefficient * s1 * s2;
}

}  // namespace

std::vector<int16_t> Tone(double dFrequency, int nAmplitude, size_t nSamples) {
  std::vector<int16_t> samples(nSamples);
  for (size_t i = 0; i < nSamples; ++i)
    samples[i] = static_cast<int16_t>(
        std::lround(nAmplitude * std::sin(2.0 * std::numbers::pi * dFrequency * i / kRate)));
  return samples;
}

bool WriteWave(const std::string& path, const std::vector<int16_t>& samples) {
  const uint32_t nDataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::string out = "RIFF";
  PutLE(out, 36 + nDataBytes, 4);
  out += "WAVEfmt ";
  PutLE(out, 16, 4);
  PutLE(out, 1, 2);  // PCM
  PutLE(out, 1, 2);  // mono
  PutLE(out, kRate, 4);
  PutLE(out, kRate * 2, 4);
  PutLE(out, 2, 2);
  PutLE(out, 16, 2);
  out += "data";
  PutLE(out, nDataBytes, 4);
  for (int16_t nSample : samples) PutLE(out, static_cast<uint16_t>(nSample), 2);
  std::ofstream file(path, std::ios::binary);
  file.write(out.data(), static_cast<std::streamsize>(out.size()));
  return static_cast<bool>(file);
}

std::vector<int16_t> ReadWave(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  const std::string in((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (in.size() < 12 || in.compare(0, 4, "RIFF") != 0 || in.compare(8, 4, "WAVE") != 0) return {};
  bool bFormatOk = false;
  for (size_t nAt = 12; nAt + 8 <= in.size();) {
    const std::string id = in.substr(nAt, 4);
    const size_t nSize = GetLE(in, nAt + 4, 4);
    const size_t nBody = nAt + 8;
    const size_t nAvailable = std::min(nSize, in.size() - nBody);
    if (id == "fmt " && nAvailable >= 16) {
      bFormatOk = GetLE(in, nBody, 2) == 1 && GetLE(in, nBody + 2, 2) == 1 &&
                  GetLE(in, nBody + 4, 4) == kRate && GetLE(in, nBody + 14, 2) == 16;
    } else if (id == "data") {
      if (!bFormatOk) return {};
      std::vector<int16_t> samples(nAvailable / 2);
      for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<int16_t>(GetLE(in, nBody + 2 * i, 2));
      return samples;
    }
    nAt = nBody + nSize + (nSize & 1);
  }
  return {};
}

double Rms(const std::vector<int16_t>& samples) {
  if (samples.empty()) return 0;
  double dSum = 0;
  for (int16_t nSample : samples) dSum += static_cast<double>(nSample) * nSample;
  return std::sqrt(dSum / static_cast<double>(samples.size()));
}

double DominantFrequency(const std::vector<int16_t>& samples) {
  double dBest = 0, dBestPower = -1;
  for (double dFrequency = 100; dFrequency <= 3900; dFrequency += 10) {
    const double dPower = Power(samples, dFrequency);
    if (dPower > dBestPower) {
      dBestPower = dPower;
      dBest = dFrequency;
    }
  }
  return dBest;
}

}  // namespace wavetools
