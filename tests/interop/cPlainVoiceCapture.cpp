#include "cPlainVoiceCapture.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <fstream>
#include <iterator>

#include "audio/cG711uCodec.h"
#include "tests/support/TextFile.h"
#include "tests/support/Tone.h"
#include "tests/support/Wait.h"

namespace {

constexpr size_t kMatchBytes = 12;

// Every kMatchBytes-long run of one period of a tone, u-law coded: what plain RTP of it holds.
std::vector<std::string> PlainRuns(double dFreq, size_t nPeriod) {
  const std::vector<int16_t> tone = kyttest::Tone(dFreq, 8000, nPeriod * 2);
  const cG711uCodec ulaw;
  std::string sCoded;
  for (int16_t x : tone) sCoded += static_cast<char>(ulaw.EncodeSample(x));
  std::vector<std::string> runs;
  for (size_t i = 0; i < nPeriod; ++i) runs.push_back(sCoded.substr(i, kMatchBytes));
  return runs;
}

}  // namespace

bool cPlainVoiceCapture::Start(int nRtpPort, const std::string& sDir) {
  m_sFile = sDir + "/rtp.pcap";
  const std::string sLog = sDir + "/tcpdump.log";
  const std::string sFilter = "udp and (port " + std::to_string(nRtpPort) + " or port " +
                              std::to_string(nRtpPort + 1) + ")";
  return m_Tcpdump.Start({"tcpdump", "-i", "lo", "-n", "-U", "-w", m_sFile, sFilter}, sLog) &&
         kyttest::PollUntil(
             [&] { return kyttest::ReadText(sLog).find("listening on") != std::string::npos; },
             std::chrono::seconds(5));
}

void cPlainVoiceCapture::Stop() {
  m_Tcpdump.Kill();
  std::ifstream in(m_sFile, std::ios::binary);
  const std::string sAll((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  // pcap: a 24-byte file header, then each packet after a 16-byte record header whose third
  // word is the captured length.
  m_Packets.clear();
  for (size_t nAt = 24; nAt + 16 <= sAll.size();) {
    const auto* p = reinterpret_cast<const uint8_t*>(sAll.data() + nAt + 8);
    const size_t nLength = p[0] | p[1] << 8 | p[2] << 16 | uint32_t{p[3]} << 24;
    if (nAt + 16 + nLength > sAll.size()) break;
    m_Packets.push_back(sAll.substr(nAt + 16, nLength));
    nAt += 16 + nLength;
  }
}

size_t cPlainVoiceCapture::PlainPackets(const std::vector<tTone>& tones) const {
  std::vector<std::string> runs;
  for (const auto& [dFreq, nPeriod] : tones) {
    const std::vector<std::string> more = PlainRuns(dFreq, nPeriod);
    runs.insert(runs.end(), more.begin(), more.end());
  }
  return static_cast<size_t>(
      std::count_if(m_Packets.begin(), m_Packets.end(), [&](const std::string& sPacket) {
        return std::any_of(runs.begin(), runs.end(), [&](const std::string& sRun) {
          return sPacket.find(sRun) != std::string::npos;
        });
      }));
}
