#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>
#include <asio/steady_timer.hpp>
#include <chrono>
#include <cstdint>
#include <memory>
#include <vector>

#include "util/cKytNoCopy.h"

class cSrtpContext;

// The RTCP side of one RTP line (RFC 3550 section 6), on the odd port above the RTP port: a
// sender or receiver report every 5 s with its source description, the far end's reports read,
// and BYE when the stream stops. Reception statistics (loss, fraction lost, jitter) follow
// RFC 3550 appendix A.
class cSessionRTCP : private cKytNoCopy {
 public:
  static constexpr std::chrono::seconds kInterval{5};

  explicit cSessionRTCP(asio::io_context& context);
  ~cSessionRTCP();

  // The line's SRTP keys: reports go out as SRTCP and only authentic SRTCP is read.
  void SetSrtpContext(cSrtpContext* pSrtp) { m_pSrtp = pSrtp; }
  // Binds the RTCP port; false (and no RTCP for the line) when it is taken.
  bool Open(const char* pIP, int nPort);
  // Sends BYE if a stream runs, then closes the port.
  void Close();
  // A new stream to a dotted remote address: reports go to its RTCP port from now on.
  void Start(const char* pRemoteIP, int nRemotePort, uint32_t uSsrc);
  // Sends BYE and stops reporting.
  void Stop();
  // The line latched the far end's RTP at rtpSource: reports go to the port above it until RTCP
  // naming uSsrc as its sender comes from that host, then to where that came from; RTCP from
  // other hosts is ignored. Kept until the next Start.
  void FollowPeer(const asio::ip::udp::endpoint& rtpSource, uint32_t uSsrc);

  // One RTP packet sent: its timestamp and payload bytes.
  void OnSent(uint32_t uTimeStamp, int nPayloadBytes);
  // One RTP packet received, and when it came.
  void OnReceived(uint32_t uSsrc, uint16_t nSeqNo, uint32_t uTimeStamp,
                  std::chrono::steady_clock::time_point arrivedAt);

  // Packets lost from the far end's stream so far (expected less received).
  int GetCumulativeLost() const;
  // Interarrival jitter of the far end's stream, in timestamp units.
  uint32_t GetJitter() const { return static_cast<uint32_t>(m_dJitter); }
  // Reports read from the far end, and what its last one said about our stream.
  int GetReportsReceived() const { return m_nReportsReceived; }
  int GetPeerCumulativeLost() const { return m_nPeerLost; }
  uint32_t GetPeerJitter() const { return m_uPeerJitter; }

 private:
  void ArmTimer();
  void StartReceive();
  void OnRecv(uint8_t* pData, size_t nLength);
  // Sender report when we sent since the last one, else receiver report; then SDES, and BYE.
  void SendReport(bool bBye);
  void AppendReportBlock(std::vector<uint8_t>& out);
  void ResetReception(uint32_t uSsrc, uint16_t nSeqNo);

  asio::io_context& m_Context;
  cSrtpContext* m_pSrtp = nullptr;  // not owned
  std::unique_ptr<asio::ip::udp::socket> m_pSocket;
  std::unique_ptr<asio::steady_timer> m_pTimer;
  // Handlers still queued after a close see this expire and touch nothing.
  std::shared_ptr<char> m_pAlive;
  std::vector<uint8_t> m_RecvBuffer;
  asio::ip::udp::endpoint m_RecvFrom;
  bool m_bStarted = false;
  asio::ip::udp::endpoint m_Remote;
  uint32_t m_uSsrc = 0;
  bool m_bFollowing = false;
  asio::ip::udp::endpoint m_PeerRTP;
  uint32_t m_uPeerSsrc = 0;
  // Sending side.
  uint32_t m_nPacketsSent = 0;
  uint32_t m_nOctetsSent = 0;
  uint32_t m_uLastSentTs = 0;
  std::chrono::steady_clock::time_point m_LastSentAt;
  bool m_bSentSinceReport = false;
  // Receiving side (RFC 3550 A.1, A.3, A.8).
  bool m_bReceiving = false;
  uint32_t m_uRemoteSsrc = 0;
  uint16_t m_nMaxSeq = 0;
  uint32_t m_nCycles = 0;
  uint32_t m_nBaseSeq = 0;
  uint32_t m_nReceived = 0;
  uint32_t m_nExpectedPrior = 0;
  uint32_t m_nReceivedPrior = 0;
  bool m_bHaveTransit = false;
  int64_t m_nTransit = 0;
  double m_dJitter = 0;
  // The far end's last sender report: the middle of its NTP time, and when it came.
  uint32_t m_uLastSR = 0;
  std::chrono::steady_clock::time_point m_LastSRAt;
  int m_nReportsReceived = 0;
  int m_nPeerLost = 0;
  uint32_t m_uPeerJitter = 0;
};
