#include "cMediaTestUtil.h"

#include <sys/wait.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

namespace mediatest {

int RunCommand(const std::string& sCommand) {
  const int nStatus = std::system(sCommand.c_str());
  if (nStatus == -1 || !WIFEXITED(nStatus)) return -1;
  return WEXITSTATUS(nStatus);
}

std::vector<uint8_t> ReadBytes(const std::string& sPath) {
  std::ifstream in(sPath, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteBytes(const std::string& sPath, const std::vector<uint8_t>& data) {
  std::ofstream out(sPath, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
}

std::vector<int16_t> ReadRawPCM(const std::string& sPath) {
  const std::vector<uint8_t> bytes = ReadBytes(sPath);
  std::vector<int16_t> pcm(bytes.size() / 2);
  std::memcpy(pcm.data(), bytes.data(), pcm.size() * 2);
  return pcm;
}

void WriteRawPCM(const std::string& sPath, const std::vector<int16_t>& pcm) {
  std::vector<uint8_t> bytes(pcm.size() * 2);
  std::memcpy(bytes.data(), pcm.data(), bytes.size());
  WriteBytes(sPath, bytes);
}

void WriteEightBitWave(const std::string& sPath, size_t nSamples, uint8_t nValue) {
  std::vector<uint8_t> v = {'R',  'I',  'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V',  'E',  'f', 'm',
                            't',  ' ',  16,  0,   0, 0, 1, 0, 1,   0,   0x40, 0x1F, 0,   0,
                            0x40, 0x1F, 0,   0,   1, 0, 8, 0, 'd', 'a', 't',  'a'};
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(nSamples >> (8 * i)));
  v.resize(v.size() + nSamples, nValue);
  WriteBytes(sPath, v);
}

std::string DataFile(const std::string& sName) {
  return std::string(KYT_MEDIA_TEST_DATA) + "/" + sName;
}

sSnrResult MeasureSnr(const std::vector<int16_t>& expected, const std::vector<int16_t>& received,
                      int nDelayStep, int nMaxDelay) {
  constexpr int kUnit = 160;
  sSnrResult result;
  size_t nFirst = 0;
  while (nFirst < received.size() && received[nFirst] == 0) ++nFirst;
  nFirst -= nFirst % kUnit;
  double dSignal = 0, dNoise = 0;
  std::map<int, int> delays;
  std::set<size_t> heard;
  for (size_t u = nFirst; u + kUnit <= received.size(); u += kUnit) {
    double dBestNoise = -1, dBestSignal = 0;
    int nBestDelay = -1;
    for (int d = 0; d <= nMaxDelay; d += nDelayStep) {
      if (static_cast<long>(u) - d < 0) break;
      const size_t e = u - d;
      if (e + kUnit > expected.size()) continue;
      double dN = 0, dS = 0;
      for (int i = 0; i < kUnit; ++i) {
        const double x = expected[e + i];
        const double diff = received[u + i] - x;
        dN += diff * diff;
        dS += x * x;
      }
      if (dBestNoise < 0 || dN < dBestNoise) {
        dBestNoise = dN;
        dBestSignal = dS;
        nBestDelay = d;
      }
    }
    if (nBestDelay < 0) continue;
    dSignal += dBestSignal;
    dNoise += dBestNoise;
    if (dBestSignal > 0) heard.insert((u - nBestDelay) / kUnit);
    ++delays[nBestDelay];
    ++result.nUnitsCompared;
  }
  int nMost = 0;
  for (const auto& [d, n] : delays)
    if (n > nMost) {
      nMost = n;
      result.nDelaySamples = d;
    }
  result.nExpectedUnitsHeard = static_cast<int>(heard.size());
  if (result.nUnitsCompared > 0 && dSignal > 0)
    result.dSnrDb = dNoise <= 0 ? 200.0 : 10 * std::log10(dSignal / dNoise);
  return result;
}

int CountSoundUnits(const std::vector<int16_t>& pcm) {
  int nUnits = 0;
  for (size_t u = 0; u + 160 <= pcm.size(); u += 160)
    nUnits += std::any_of(pcm.begin() + u, pcm.begin() + u + 160, [](int16_t v) { return v != 0; });
  return nUnits;
}

}  // namespace mediatest
