#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The outbound proxy of two user agents on 127.0.0.1, A and B, that also carries their media.
// SIP from A goes on to B and all other SIP to A, with the audio port of each description
// changed to the relay's own, so both send RTP here and RTCP to the port above. RTP each way is
// treated as tc netem's "loss 5% delay 40ms 20ms reorder 1%" would: 5 % lost, the rest 40 +/- 20
// ms late in a uniform spread, 1 % of them at once. Each direction draws from its own seeded
// generator, so every run, and every build, sees the same network. RTCP passes at once, so that
// every report arrives, and the report blocks it carries are kept for the test, with what the
// relay had done to the stream each one describes.
class cImpairingRelay {
 public:
  enum eDirection { kFromA = 0, kFromB = 1 };
  // One RTCP report block (RFC 3550 section 6.4.1) and the relay's counts at its passing.
  struct sReport {
    double dFractionLost;  // 0 to 1
    int32_t nCumulativeLost;
    uint32_t uJitter;   // timestamp units
    int nRelayPackets;  // RTP packets of the reported stream that came to the relay so far
    int nRelayDropped;  // of which it dropped
  };

  cImpairingRelay(uint16_t nSipA, uint16_t nSipB);
  ~cImpairingRelay();
  cImpairingRelay(const cImpairingRelay&) = delete;
  cImpairingRelay& operator=(const cImpairingRelay&) = delete;

  bool IsOpen() const { return m_nSip >= 0 && m_nRtp >= 0 && m_nRtcp >= 0; }
  uint16_t SipPort() const { return m_nSipPort; }
  // The blocks that the far end of eFrom's stream sent about it, in order.
  std::vector<sReport> ReportsAbout(eDirection eFrom) const;
  // RTP packets that came from eFrom, and how many of them the relay dropped.
  int Packets(eDirection eFrom) const { return m_nPackets[eFrom]; }
  int Dropped(eDirection eFrom) const { return m_nDropped[eFrom]; }

 private:
  void Loop();
  void OnRtcp(const uint8_t* pData, size_t nLength, eDirection eFrom);
  std::string Rewrite(std::string sText, uint16_t& nRtp) const;

  uint16_t m_nSipOf[2];
  uint16_t m_nSipPort = 0, m_nRtpPort = 0;
  std::atomic<uint16_t> m_nMediaPort[2] = {0, 0};  // each side's RTP port, from its description
  int m_nSip = -1, m_nRtp = -1, m_nRtcp = -1;
  std::atomic<int> m_nPackets[2] = {0, 0};
  std::atomic<int> m_nDropped[2] = {0, 0};
  mutable std::mutex m_Mutex;
  std::vector<sReport> m_Reports[2];
  std::atomic<bool> m_bStop{false};
  std::thread m_Thread;
};
