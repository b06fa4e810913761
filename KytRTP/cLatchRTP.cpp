#include "KytRTP/cLatchRTP.h"

#include <algorithm>
#include <asio/ip/address_v4.hpp>

void cLatchRTP::Reset(const char* pIP, int nPort) {
  m_bLatched = false;
  m_nCandidatePackets = 0;
  asio::error_code ec;
  const auto address = asio::ip::make_address_v4(pIP ? pIP : "", ec);
  m_bSignalled = !ec && nPort > 0 && nPort <= 65535;
  if (m_bSignalled) m_Signalled = tEndpoint(address, static_cast<uint16_t>(nPort));
}

void cLatchRTP::Latch(const tEndpoint& from, uint32_t uSsrc, tClock::time_point now) {
  m_bLatched = true;
  m_Source = from;
  m_uSsrc = uSsrc;
  m_LastAt = now;
  m_nCandidatePackets = 0;
}

cLatchRTP::eVerdict cLatchRTP::Accept(const tEndpoint& from, uint32_t uSsrc, bool bPlayable,
                                      tClock::time_point now) {
  if (m_bLatched && from == m_Source && uSsrc == m_uSsrc) {
    m_LastAt = now;
    return kAccepted;
  }
  if (!bPlayable) return kDropped;
  if (!m_bLatched) {
    Latch(from, uSsrc, now);
    return kLatched;
  }
  if (m_nCandidatePackets == 0 || from != m_CandidateFrom || uSsrc != m_uCandidateSsrc) {
    m_CandidateFrom = from;
    m_uCandidateSsrc = uSsrc;
    m_nCandidatePackets = 0;
  }
  m_nCandidatePackets = std::min(m_nCandidatePackets + 1, kRelatchPackets);
  if (m_nCandidatePackets < kRelatchPackets) return kDropped;
  const bool bSignalled = m_bSignalled && from == m_Signalled;
  if (!bSignalled && now - m_LastAt < kRelatchQuiet) return kDropped;
  Latch(from, uSsrc, now);
  return kLatched;
}
