#pragma once

#include <asio/ip/udp.hpp>
#include <chrono>
#include <cstdint>

// The far end a line listens and sends to (symmetric RTP, RFC 4961). The line latches onto the
// source address and SSRC of the first playable packet; later packets from another address or
// with another SSRC are dropped unless they persist as one stream of kRelatchPackets in a row (no
// other stranger between). Coming from the address signalling gave, that is enough; from any
// other address the latched stream must also have been silent for kRelatchQuiet, so that a
// stranger cannot take the line over while the far end still talks.
class cLatchRTP {
 public:
  using tEndpoint = asio::ip::udp::endpoint;
  using tClock = std::chrono::steady_clock;

  static constexpr int kRelatchPackets = 5;
  static constexpr std::chrono::milliseconds kRelatchQuiet{200};

  enum eVerdict { kDropped, kAccepted, kLatched };

  // Forgets the stream listened to; pIP:nPort is where signalling says the far end is (a host
  // name counts as no address).
  void Reset(const char* pIP, int nPort);
  // Whether a packet from this source belongs to the stream listened to (kLatched: it does, and
  // is the first of a newly latched stream). bPlayable: its payload type is one the line plays;
  // no other packet latches or counts towards a new latch.
  eVerdict Accept(const tEndpoint& from, uint32_t uSsrc, bool bPlayable, tClock::time_point now);

  bool IsLatched() const { return m_bLatched; }

 private:
  void Latch(const tEndpoint& from, uint32_t uSsrc, tClock::time_point now);

  bool m_bLatched = false;
  tEndpoint m_Source;
  uint32_t m_uSsrc = 0;
  tClock::time_point m_LastAt;
  bool m_bSignalled = false;
  tEndpoint m_Signalled;
  int m_nCandidatePackets = 0;
  tEndpoint m_CandidateFrom;
  uint32_t m_uCandidateSsrc = 0;
};
