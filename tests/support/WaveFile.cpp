#include "tests/support/WaveFile.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#include "tests/support/Tone.h"

namespace kyttest {

namespace {

void PutLE(std::string& out, uint32_t nValue, int nBytes) {
  for (int i = 0; i < nBytes; ++i) out.push_back(static_cast<char>((nValue >> (8 * i)) & 0xFF));
}

// nBytes little-endian bytes at nAt; the caller has checked that they are there.
uint32_t GetLE(const std::string& in, size_t nAt, int nBytes) {
  uint32_t nValue = 0;
  for (int i = nBytes - 1; i >= 0; --i)
    nValue = (nValue << 8) | static_cast<uint8_t>(in[nAt + static_cast<size_t>(i)]);
  return nValue;
}

}  // namespace

bool WriteWave(const std::string& sPath, const std::vector<int16_t>& samples) {
  const uint32_t nDataBytes = static_cast<uint32_t>(samples.size() * 2);
  std::string out = "RIFF";
  PutLE(out, 36 + nDataBytes, 4);
  out += "WAVEfmt ";
  PutLE(out, 16, 4);
  PutLE(out, 1, 2);  // PCM
  PutLE(out, 1, 2);  // mono
  PutLE(out, kSampleRate, 4);
  PutLE(out, kSampleRate * 2, 4);
  PutLE(out, 2, 2);
  PutLE(out, 16, 2);
  out += "data";
  PutLE(out, nDataBytes, 4);
  for (int16_t nSample : samples) PutLE(out, static_cast<uint16_t>(nSample), 2);
  std::ofstream file(sPath, std::ios::binary);
  file.write(out.data(), static_cast<std::streamsize>(out.size()));
  return static_cast<bool>(file);
}

std::vector<int16_t> ReadWave(const std::string& sPath) {
  std::ifstream file(sPath, std::ios::binary);
  const std::string in((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  if (in.size() < 12 || in.compare(0, 4, "RIFF") != 0 || in.compare(8, 4, "WAVE") != 0) return {};
  bool bFormatOk = false;
  for (size_t nAt = 12; nAt + 8 <= in.size();) {
    const size_t nSize = GetLE(in, nAt + 4, 4);
    const size_t nBody = nAt + 8;
    const size_t nAvailable = std::min(nSize, in.size() - nBody);
    if (in.compare(nAt, 4, "fmt ") == 0 && nAvailable >= 16) {
      bFormatOk = GetLE(in, nBody, 2) == 1 && GetLE(in, nBody + 2, 2) == 1 &&
                  GetLE(in, nBody + 4, 4) == kSampleRate && GetLE(in, nBody + 14, 2) == 16;
    } else if (in.compare(nAt, 4, "data") == 0) {
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

}  // namespace kyttest
