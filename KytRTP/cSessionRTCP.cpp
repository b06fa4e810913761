#include "KytRTP/cSessionRTCP.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "KytRTP/cSrtpContext.h"

namespace {

constexpr uint8_t kSenderReport = 200;
constexpr uint8_t kReceiverReport = 201;
constexpr uint8_t kSourceDescription = 202;
constexpr uint8_t kBye = 203;
constexpr size_t kMaxDatagram = 1500;
constexpr int kSamplesPerMs = 8;
// Seconds from 1900 (NTP) to 1970.
constexpr uint64_t kNtpOffset = 2208988800ULL;
constexpr char kCname[] = "kyt@127.0.0.1";

void Put16(std::vector<uint8_t>& v, uint32_t n) {
  v.push_back(static_cast<uint8_t>(n >> 8));
  v.push_back(static_cast<uint8_t>(n));
}

void Put32(std::vector<uint8_t>& v, uint32_t n) {
  Put16(v, n >> 16);
  Put16(v, n & 0xFFFF);
}

uint32_t Get32(const uint8_t* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | p[3];
}

// A packet header with its length (in 32-bit words less one) filled in later.
size_t BeginPacket(std::vector<uint8_t>& v, uint8_t nCount, uint8_t nType) {
  const size_t nStart = v.size();
  v.push_back(static_cast<uint8_t>(0x80 | nCount));
  v.push_back(nType);
  Put16(v, 0);
  return nStart;
}

void EndPacket(std::vector<uint8_t>& v, size_t nStart) {
  while ((v.size() - nStart) % 4 != 0) v.push_back(0);
  const size_t nWords = (v.size() - nStart) / 4 - 1;
  v[nStart + 2] = static_cast<uint8_t>(nWords >> 8);
  v[nStart + 3] = static_cast<uint8_t>(nWords);
}

uint64_t NtpNow() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  const auto us = std::chrono::duration_cast<std::chrono::microseconds>(now).count();
  const uint64_t nSeconds = static_cast<uint64_t>(us / 1000000) + kNtpOffset;
  const uint64_t nFraction = (static_cast<uint64_t>(us % 1000000) << 32) / 1000000;
  return (nSeconds << 32) | nFraction;
}

}  // namespace

cSessionRTCP::cSessionRTCP(asio::io_context& context)
    : m_Context(context), m_RecvBuffer(kMaxDatagram) {}

cSessionRTCP::~cSessionRTCP() { Close(); }

bool cSessionRTCP::Open(const char* pIP, int nPort) {
  Close();
  if (nPort <= 0 || nPort > 65535) return false;
  asio::error_code ec;
  asio::ip::address_v4 address = asio::ip::address_v4::any();
  if (pIP && *pIP) address = asio::ip::make_address_v4(pIP, ec);
  if (ec) return false;
  auto pSocket = std::make_unique<asio::ip::udp::socket>(m_Context);
  pSocket->open(asio::ip::udp::v4(), ec);
  if (!ec) pSocket->bind(asio::ip::udp::endpoint(address, static_cast<uint16_t>(nPort)), ec);
  if (ec) return false;
  m_pSocket = std::move(pSocket);
  m_pAlive = std::make_shared<char>(0);
  StartReceive();
  return true;
}

void cSessionRTCP::Close() {
  Stop();
  m_pAlive.reset();
  m_pTimer.reset();
  if (!m_pSocket) return;
  asio::error_code ec;
  m_pSocket->close(ec);
  m_pSocket.reset();
}

void cSessionRTCP::Start(const char* pRemoteIP, int nRemotePort, uint32_t uSsrc) {
  Stop();
  asio::error_code ec;
  const auto address = asio::ip::make_address_v4(pRemoteIP ? pRemoteIP : "", ec);
  if (!m_pSocket || ec || nRemotePort <= 0 || nRemotePort > 65535) return;
  m_Remote = asio::ip::udp::endpoint(address, static_cast<uint16_t>(nRemotePort));
  m_uSsrc = uSsrc;
  m_bFollowing = false;
  m_nPacketsSent = m_nOctetsSent = 0;
  m_bSentSinceReport = false;
  m_bReceiving = false;
  m_nReportsReceived = m_nPeerLost = 0;
  m_uPeerJitter = 0;
  m_uLastSR = 0;
  m_bStarted = true;
  m_pTimer = std::make_unique<asio::steady_timer>(m_Context);
  ArmTimer();
}

void cSessionRTCP::Stop() {
  if (!m_bStarted) return;
  SendReport(true);
  m_bStarted = false;
  m_pTimer.reset();
}

void cSessionRTCP::FollowPeer(const asio::ip::udp::endpoint& rtpSource, uint32_t uSsrc) {
  if (!m_bStarted) return;
  // A new SSRC from the same place keeps the RTCP address already learnt there.
  if (!m_bFollowing || rtpSource != m_PeerRTP) {
    const uint16_t nPort = rtpSource.port();
    m_Remote = asio::ip::udp::endpoint(rtpSource.address(), nPort < 65535 ? nPort + 1 : nPort);
  }
  m_bFollowing = true;
  m_PeerRTP = rtpSource;
  m_uPeerSsrc = uSsrc;
}

void cSessionRTCP::ArmTimer() {
  m_pTimer->expires_after(kInterval);
  std::weak_ptr<char> alive = m_pAlive;
  m_pTimer->async_wait([this, alive](const asio::error_code& ec) {
    if (ec || alive.expired() || !m_bStarted) return;
    SendReport(false);
    ArmTimer();
  });
}

void cSessionRTCP::StartReceive() {
  std::weak_ptr<char> alive = m_pAlive;
  m_pSocket->async_receive_from(asio::buffer(m_RecvBuffer), m_RecvFrom,
                                [this, alive](const asio::error_code& ec, size_t nLength) {
                                  if (alive.expired()) return;
                                  if (!ec && nLength > 0) OnRecv(m_RecvBuffer.data(), nLength);
                                  if (!alive.expired() && ec != asio::error::operation_aborted)
                                    StartReceive();
                                });
}

void cSessionRTCP::OnSent(uint32_t uTimeStamp, int nPayloadBytes) {
  ++m_nPacketsSent;
  m_nOctetsSent += static_cast<uint32_t>(std::max(nPayloadBytes, 0));
  m_uLastSentTs = uTimeStamp;
  m_LastSentAt = std::chrono::steady_clock::now();
  m_bSentSinceReport = true;
}

void cSessionRTCP::ResetReception(uint32_t uSsrc, uint16_t nSeqNo) {
  m_bReceiving = true;
  m_uRemoteSsrc = uSsrc;
  m_nMaxSeq = nSeqNo;
  m_nBaseSeq = nSeqNo;
  m_nCycles = 0;
  m_nReceived = 0;
  m_nExpectedPrior = m_nReceivedPrior = 0;
  m_bHaveTransit = false;
  m_dJitter = 0;
}

void cSessionRTCP::OnReceived(uint32_t uSsrc, uint16_t nSeqNo, uint32_t uTimeStamp,
                              std::chrono::steady_clock::time_point arrivedAt) {
  if (!m_bReceiving || uSsrc != m_uRemoteSsrc) ResetReception(uSsrc, nSeqNo);
  const uint16_t nDelta = static_cast<uint16_t>(nSeqNo - m_nMaxSeq);
  if (nDelta < 3000) {
    if (nSeqNo < m_nMaxSeq) m_nCycles += 65536;
    m_nMaxSeq = nSeqNo;
  } else if (nDelta <= 65536 - 100) {
    // A jump: the source restarted its numbering.
    ResetReception(uSsrc, nSeqNo);
  }
  ++m_nReceived;
  const auto arrivedMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(arrivedAt.time_since_epoch()).count();
  const int64_t nTransit = arrivedMs * kSamplesPerMs - static_cast<int64_t>(uTimeStamp);
  if (m_bHaveTransit) {
    // Transit differences are taken modulo 2^32 so a wrapping timestamp does not count.
    const double d = std::abs(static_cast<int32_t>(static_cast<uint32_t>(nTransit - m_nTransit)));
    m_dJitter += (d - m_dJitter) / 16.0;
  }
  m_nTransit = nTransit;
  m_bHaveTransit = true;
}

int cSessionRTCP::GetCumulativeLost() const {
  if (!m_bReceiving) return 0;
  const int64_t nExpected = int64_t{m_nCycles} + m_nMaxSeq - m_nBaseSeq + 1;
  return static_cast<int>(std::clamp<int64_t>(nExpected - m_nReceived, -0x800000, 0x7FFFFF));
}

void cSessionRTCP::AppendReportBlock(std::vector<uint8_t>& out) {
  const uint32_t nExtendedMax = m_nCycles + m_nMaxSeq;
  const uint32_t nExpected = nExtendedMax - m_nBaseSeq + 1;
  const uint32_t nExpectedInterval = nExpected - m_nExpectedPrior;
  const uint32_t nReceivedInterval = m_nReceived - m_nReceivedPrior;
  m_nExpectedPrior = nExpected;
  m_nReceivedPrior = m_nReceived;
  const int64_t nLostInterval = int64_t{nExpectedInterval} - nReceivedInterval;
  const uint32_t nFraction = nExpectedInterval == 0 || nLostInterval <= 0
                                 ? 0
                                 : static_cast<uint32_t>((nLostInterval << 8) / nExpectedInterval);
  Put32(out, m_uRemoteSsrc);
  Put32(out, (std::min<uint32_t>(nFraction, 255) << 24) |
                 (static_cast<uint32_t>(GetCumulativeLost()) & 0xFFFFFF));
  Put32(out, nExtendedMax);
  Put32(out, GetJitter());
  Put32(out, m_uLastSR);
  uint32_t nDelay = 0;
  if (m_uLastSR != 0) {
    const auto elapsed = std::chrono::steady_clock::now() - m_LastSRAt;
    nDelay = static_cast<uint32_t>(
        std::chrono::duration_cast<std::chrono::microseconds>(elapsed).count() * 65536 / 1000000);
  }
  Put32(out, nDelay);
}

void cSessionRTCP::SendReport(bool bBye) {
  if (!m_pSocket || !m_bStarted) return;
  std::vector<uint8_t> packet;
  const uint8_t nBlocks = m_bReceiving ? 1 : 0;
  size_t nStart = 0;
  if (m_bSentSinceReport) {
    nStart = BeginPacket(packet, nBlocks, kSenderReport);
    Put32(packet, m_uSsrc);
    const uint64_t nNtp = NtpNow();
    Put32(packet, static_cast<uint32_t>(nNtp >> 32));
    Put32(packet, static_cast<uint32_t>(nNtp));
    // The RTP time of this instant, on the stream's sampling clock.
    const auto sinceSent = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - m_LastSentAt);
    Put32(packet, m_uLastSentTs + static_cast<uint32_t>(sinceSent.count() * kSamplesPerMs));
    Put32(packet, m_nPacketsSent);
    Put32(packet, m_nOctetsSent);
  } else {
    nStart = BeginPacket(packet, nBlocks, kReceiverReport);
    Put32(packet, m_uSsrc);
  }
  if (m_bReceiving) AppendReportBlock(packet);
  EndPacket(packet, nStart);
  m_bSentSinceReport = false;

  nStart = BeginPacket(packet, 1, kSourceDescription);
  Put32(packet, m_uSsrc);
  packet.push_back(1);  // CNAME
  packet.push_back(static_cast<uint8_t>(sizeof(kCname) - 1));
  packet.insert(packet.end(), kCname, kCname + sizeof(kCname) - 1);
  packet.push_back(0);  // end of items
  EndPacket(packet, nStart);

  if (bBye) {
    nStart = BeginPacket(packet, 1, kBye);
    Put32(packet, m_uSsrc);
    EndPacket(packet, nStart);
  }
  if (m_pSrtp && !m_pSrtp->ProtectRTCP(packet)) return;
  asio::error_code ec;
  m_pSocket->send_to(asio::buffer(packet), m_Remote, 0, ec);
}

void cSessionRTCP::OnRecv(uint8_t* pData, size_t nLength) {
  if (m_bFollowing && m_RecvFrom.address() != m_PeerRTP.address()) return;
  int nPlain = static_cast<int>(nLength);
  if (m_pSrtp && !m_pSrtp->UnprotectRTCP(pData, nPlain)) return;
  nLength = static_cast<size_t>(nPlain);
  // A compound packet: each part's length is checked against what is left.
  size_t nAt = 0;
  while (nAt + 8 <= nLength) {
    const uint8_t* p = pData + nAt;
    if ((p[0] >> 6) != 2) return;
    const size_t nBytes = (size_t{p[2]} << 8 | p[3]) * 4 + 4;
    if (nBytes > nLength - nAt) return;
    const uint8_t nType = p[1];
    const int nCount = p[0] & 0x1F;
    const bool bReport = nType == kSenderReport || nType == kReceiverReport;
    if (bReport && m_bFollowing && Get32(p + 4) == m_uPeerSsrc) m_Remote = m_RecvFrom;
    size_t nBlocks = 0;
    if (nType == kSenderReport && nBytes >= 28) {
      ++m_nReportsReceived;
      m_uLastSR = (Get32(p + 8) << 16) | (Get32(p + 12) >> 16);
      m_LastSRAt = std::chrono::steady_clock::now();
      nBlocks = 28;
    } else if (nType == kReceiverReport) {
      ++m_nReportsReceived;
      nBlocks = 8;
    }
    for (int i = 0; nBlocks != 0 && i < nCount && nBlocks + 24 * (i + 1) <= nBytes; ++i) {
      const uint8_t* pBlock = p + nBlocks + 24 * i;
      if (Get32(pBlock) != m_uSsrc) continue;
      const uint32_t nLost = Get32(pBlock + 4) & 0xFFFFFF;
      m_nPeerLost = static_cast<int>(nLost & 0x800000 ? nLost | 0xFF000000 : nLost);
      m_uPeerJitter = Get32(pBlock + 12);
    }
    nAt += nBytes;
  }
}
