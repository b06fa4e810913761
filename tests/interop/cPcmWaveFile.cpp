#include "cPcmWaveFile.h"

#include <cmath>
#include <fstream>
#include <iterator>

namespace {

constexpr double kRate = 8000.0;

void Put(std::string& out, uint32_t v, int nBytes) {
  for (int i = 0; i < nBytes; ++i) out += static_cast<char>((v >> (8 * i)) & 0xff);
}

uint32_t Get32(const std::string& s, size_t at) {
  return uint32_t(uint8_t(s[at])) | uint32_t(uint8_t(s[at + 1])) << 8 |
         uint32_t(uint8_t(s[at + 2])) << 16 | uint32_t(uint8_t(s[at + 3])) << 24;
}

}  // namespace

bool cPcmWaveFile::Write(const std::string& sPath, const std::vector<int16_t>& samples) {
  const uint32_t nData = static_cast<uint32_t>(samples.size() * 2);
  std::string out = "RIFF";
  Put(out, 36 + nData, 4);
  out += "WAVEfmt ";
  Put(out, 16, 4);
  Put(out, 1, 2);      // PCM
  Put(out, 1, 2);      // mono
  Put(out, 8000, 4);   // samples per second
  Put(out, 16000, 4);  // bytes per second
  Put(out, 2, 2);      // block
  Put(out, 16, 2);     // bits
  out += "data";
  Put(out, nData, 4);
  for (int16_t v : samples) Put(out, static_cast<uint16_t>(v), 2);
  std::ofstream file(sPath, std::ios::binary);
  file.write(out.data(), static_cast<std::streamsize>(out.size()));
  return static_cast<bool>(file);
}

std::vector<int16_t> cPcmWaveFile::Read(const std::string& sPath) {
  std::ifstream file(sPath, std::ios::binary);
  const std::string s((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  std::vector<int16_t> samples;
  if (s.size() < 12 || s.compare(0, 4, "RIFF") != 0 || s.compare(8, 4, "WAVE") != 0) {
    return samples;
  }
  for (size_t at = 12; at + 8 <= s.size();) {
    const size_t nSize = Get32(s, at + 4);
    if (s.compare(at, 4, "data") == 0) {
      const size_t nBytes = std::min(nSize, s.size() - at - 8);
      for (size_t i = 0; i + 1 < nBytes; i += 2) {
        const size_t p = at + 8 + i;
        samples.push_back(
            static_cast<int16_t>(uint16_t(uint8_t(s[p])) | uint16_t(uint8_t(s[p + 1])) << 8));
      }
      return samples;
    }
    at += 8 + nSize + (nSize & 1);
  }
  return samples;
}

std::vector<int16_t> cPcmWaveFile::Tone(double dFreqHz, int nAmplitude, size_t nSamples) {
  std::vector<int16_t> out(nSamples);
  for (size_t i = 0; i < nSamples; ++i) {
    out[i] = static_cast<int16_t>(nAmplitude * std::sin(2.0 * M_PI * dFreqHz * double(i) / kRate));
  }
  return out;
}
