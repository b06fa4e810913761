#include "cMediaTestUtil.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

namespace mediatest {

cScratchDir::cScratchDir() {
  std::string sTemplate = ::testing::TempDir() + "kytmedia.XXXXXX";
  std::vector<char> buf(sTemplate.begin(), sTemplate.end());
  buf.push_back('\0');
  if (mkdtemp(buf.data())) m_sPath = buf.data();
}

cScratchDir::~cScratchDir() {
  std::error_code ec;
  if (!m_sPath.empty()) std::filesystem::remove_all(m_sPath, ec);
}

int RunCommand(const std::string& sCommand) {
  const int nStatus = std::system(sCommand.c_str());
  if (nStatus == -1 || !WIFEXITED(nStatus)) return -1;
  return WEXITSTATUS(nStatus);
}

bool HaveProgram(const std::string& sName) {
  return RunCommand("command -v " + sName + " >/dev/null 2>&1") == 0;
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

namespace {

uint32_t Le32(const uint8_t* p) {
  return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
}
uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

void Put32(std::vector<uint8_t>& v, uint32_t n) {
  for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(n >> (8 * i)));
}
void Put16(std::vector<uint8_t>& v, uint16_t n) {
  v.push_back(static_cast<uint8_t>(n));
  v.push_back(static_cast<uint8_t>(n >> 8));
}
void PutTag(std::vector<uint8_t>& v, const char* pTag) { v.insert(v.end(), pTag, pTag + 4); }

}  // namespace

std::vector<int16_t> ReadWavePCM(const std::string& sPath) {
  const std::vector<uint8_t> bytes = ReadBytes(sPath);
  if (bytes.size() < 12 || std::memcmp(bytes.data(), "RIFF", 4) != 0) return {};
  size_t nPos = 12;
  bool bPCM16 = false;
  while (nPos + 8 <= bytes.size()) {
    const uint32_t nChunk = Le32(&bytes[nPos + 4]);
    const size_t nBody = nPos + 8;
    if (std::memcmp(&bytes[nPos], "fmt ", 4) == 0 && nBody + 16 <= bytes.size())
      bPCM16 = Le16(&bytes[nBody]) == 1 && Le16(&bytes[nBody + 2]) == 1 &&
               Le16(&bytes[nBody + 14]) == 16;
    if (std::memcmp(&bytes[nPos], "data", 4) == 0) {
      if (!bPCM16) return {};
      const size_t nSize = std::min<size_t>(nChunk, bytes.size() - nBody);
      std::vector<int16_t> pcm(nSize / 2);
      std::memcpy(pcm.data(), &bytes[nBody], pcm.size() * 2);
      return pcm;
    }
    nPos = nBody + nChunk + (nChunk & 1);
  }
  return {};
}

void WriteWavePCM(const std::string& sPath, const std::vector<int16_t>& pcm) {
  std::vector<uint8_t> v;
  const uint32_t nData = static_cast<uint32_t>(pcm.size() * 2);
  PutTag(v, "RIFF");
  Put32(v, 36 + nData);
  PutTag(v, "WAVE");
  PutTag(v, "fmt ");
  Put32(v, 16);
  Put16(v, 1);
  Put16(v, 1);
  Put32(v, 8000);
  Put32(v, 16000);
  Put16(v, 2);
  Put16(v, 16);
  PutTag(v, "data");
  Put32(v, nData);
  const auto* p = reinterpret_cast<const uint8_t*>(pcm.data());
  v.insert(v.end(), p, p + nData);
  WriteBytes(sPath, v);
}

std::string DataFile(const std::string& sName) {
  return std::string(KYT_MEDIA_TEST_DATA) + "/" + sName;
}

std::vector<int16_t> Tone(double dFreqHz, int nAmplitude, int nSamples) {
  std::vector<int16_t> pcm(nSamples);
  for (int i = 0; i < nSamples; ++i)
    pcm[i] =
        static_cast<int16_t>(std::lround(nAmplitude * std::sin(2 * M_PI * dFreqHz * i / 8000.0)));
  return pcm;
}

double ToneLevel(const int16_t* pSamples, int nSamples, double dFreqHz) {
  const double dCoeff = 2 * std::cos(2 * M_PI * dFreqHz / 8000.0);
  double s1 = 0, s2 = 0;
  for (int i = 0; i < nSamples; ++i) {
    const double s0 = pSamples[i] + dCoeff * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return (s1 * s1 + s2 * s2 - dCoeff * s1 * s2) / nSamples / nSamples;
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
