#include "KytRTP/cSocketRTP.h"

#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <asio/ip/address_v4.hpp>
#include <asio/post.hpp>
#include <cerrno>
#include <cstring>
#include <ctime>

#include "KytRTP/cLineRTP.h"
#include "KytRTP/cPacketRTP.h"
#include "KytRTP/cSrtpContext.h"

namespace {

// Larger than any UDP datagram over IPv4, so nothing is ever cut short.
constexpr size_t kMaxDatagram = 65536;
// A host name that could not be looked up is tried again after this.
constexpr auto kResolveRetry = std::chrono::seconds(10);
// A datagram counts as received at most this long before it was read (a wall clock set forward
// meanwhile must not move it further back).
constexpr auto kMaxAge = std::chrono::seconds(1);
// The largest RTP packet the line protects before sending (it sends far smaller ones).
constexpr int kMaxProtected = 1500;

bool MakeEndpoint(const char* pIP, int nPort, asio::ip::udp::endpoint& endpoint) {
  if (nPort < 0 || nPort > 65535) return false;
  asio::ip::address_v4 address = asio::ip::address_v4::any();
  if (pIP && *pIP) {
    asio::error_code ec;
    address = asio::ip::make_address_v4(pIP, ec);
    if (ec) return false;
  }
  endpoint = asio::ip::udp::endpoint(address, static_cast<uint16_t>(nPort));
  return true;
}

// When the system received the datagram of msg: its receive timestamp, on the wall clock, carried
// over to the steady clock; the time of reading when it has none.
cSocketRTP::tClock::time_point ArrivalTime(msghdr& msg) {
  const auto now = cSocketRTP::tClock::now();
  for (cmsghdr* pCmsg = CMSG_FIRSTHDR(&msg); pCmsg; pCmsg = CMSG_NXTHDR(&msg, pCmsg)) {
    if (pCmsg->cmsg_level != SOL_SOCKET || pCmsg->cmsg_type != SCM_TIMESTAMPNS ||
        pCmsg->cmsg_len < CMSG_LEN(sizeof(timespec)))
      continue;
    timespec received{};
    std::memcpy(&received, CMSG_DATA(pCmsg), sizeof received);
    timespec wall{};
    clock_gettime(CLOCK_REALTIME, &wall);
    const std::chrono::nanoseconds age = std::chrono::seconds(wall.tv_sec - received.tv_sec) +
                                         std::chrono::nanoseconds(wall.tv_nsec - received.tv_nsec);
    return now - std::clamp<std::chrono::nanoseconds>(age, std::chrono::nanoseconds(0), kMaxAge);
  }
  return now;
}

}  // namespace

cSocketRTP::cSocketRTP(asio::io_context& context, cLineRTP* pLineRTP)
    : m_Context(context),
      m_pLineRTP(pLineRTP),
      // Left uninitialised: only the bytes of received datagrams are ever touched, so the pages
      // of the batch's later buffers stay unused until a burst needs them.
      m_pRecvBuffers(std::make_unique_for_overwrite<uint8_t[]>(kReadBatch * kMaxDatagram)) {}

cSocketRTP::~cSocketRTP() { CloseSocket(); }

bool cSocketRTP::OpenSocket(const char* pIP, int nPort) {
  CloseSocket();
  asio::ip::udp::endpoint endpoint;
  if (!MakeEndpoint(pIP, nPort, endpoint)) return false;
  const int nFd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (nFd < 0) return false;
  if (::bind(nFd, endpoint.data(), static_cast<socklen_t>(endpoint.size())) != 0) {
    ::close(nFd);
    return false;
  }
  // The time each datagram came, for RTCP's interarrival jitter and the latch's quiet time, even
  // when it is read a tick later. Without it the time of reading stands in.
  const int nOn = 1;
  ::setsockopt(nFd, SOL_SOCKET, SO_TIMESTAMPNS, &nOn, sizeof nOn);
  m_nFd = nFd;
  m_pAlive = std::make_shared<char>(0);
  if (!m_bPolled && !StartWatch()) {
    CloseSocket();
    return false;
  }
  return true;
}

void cSocketRTP::SetPolled(bool bPolled) {
  if (bPolled == m_bPolled) return;
  m_bPolled = bPolled;
  if (m_nFd < 0) return;
  if (bPolled)
    StopWatch();
  else
    StartWatch();
}

void cSocketRTP::ReceiveWaiting() {
  if (m_bPolled && m_nFd >= 0) ReadDatagrams();
}

bool cSocketRTP::StartWatch() {
  // Registered with the context only while it is watched: a registered socket wakes the media
  // thread at every datagram, waited for or not.
  auto pWatch = std::make_unique<asio::ip::udp::socket>(m_Context);
  asio::error_code ec;
  pWatch->assign(asio::ip::udp::v4(), m_nFd, ec);
  if (ec) return false;
  m_pWatch = std::move(pWatch);
  m_pWatchAlive = std::make_shared<char>(0);
  WaitReadable();
  return true;
}

void cSocketRTP::StopWatch() {
  m_pWatchAlive.reset();
  if (!m_pWatch) return;
  // Hands the descriptor back without closing it.
  asio::error_code ec;
  m_pWatch->release(ec);
  m_pWatch.reset();
}

void cSocketRTP::WaitReadable() {
  std::weak_ptr<char> watching = m_pWatchAlive;
  m_pWatch->async_wait(asio::socket_base::wait_read, [this, watching](const asio::error_code& ec) {
    if (watching.expired() || ec == asio::error::operation_aborted) return;
    OnReadable();
  });
}

void cSocketRTP::OnReadable() {
  std::weak_ptr<char> watching = m_pWatchAlive;
  const bool bMore = ReadDatagrams();
  // The line may have closed the socket while handling a datagram.
  if (watching.expired()) return;
  if (!bMore) {
    WaitReadable();
    return;
  }
  // Datagrams left after a full read raise no new readiness: the next read is queued instead.
  asio::post(m_Context, [this, watching] {
    if (!watching.expired()) OnReadable();
  });
}

bool cSocketRTP::ReadDatagrams() {
  std::weak_ptr<char> alive = m_pAlive;
  for (int nRead = 0; nRead < kMaxReadAtOnce; nRead += kReadBatch) {
    mmsghdr msgs[kReadBatch] = {};
    iovec iov[kReadBatch];
    alignas(cmsghdr) uint8_t control[kReadBatch][CMSG_SPACE(sizeof(timespec))];
    for (int i = 0; i < kReadBatch; ++i) {
      iov[i] = {m_pRecvBuffers.get() + i * kMaxDatagram, kMaxDatagram};
      msghdr& msg = msgs[i].msg_hdr;
      msg.msg_name = m_RecvFrom[i].data();
      msg.msg_namelen = static_cast<socklen_t>(m_RecvFrom[i].capacity());
      msg.msg_iov = &iov[i];
      msg.msg_iovlen = 1;
      msg.msg_control = control[i];
      msg.msg_controllen = sizeof control[i];
    }
    // One call takes what waits, up to a batch: fewer means the socket is empty.
    const int nGot = ::recvmmsg(m_nFd, msgs, kReadBatch, MSG_DONTWAIT, nullptr);
    if (nGot <= 0) return false;
    for (int i = 0; i < nGot; ++i) {
      msghdr& msg = msgs[i].msg_hdr;
      if (msgs[i].msg_len == 0 || msg.msg_namelen > m_RecvFrom[i].capacity()) continue;
      m_RecvFrom[i].resize(msg.msg_namelen);
      const tClock::time_point arrivedAt = ArrivalTime(msg);
      uint8_t* pData = static_cast<uint8_t*>(iov[i].iov_base);
      int nPlain = static_cast<int>(msgs[i].msg_len);
      if (m_pSrtp && !m_pSrtp->UnprotectRTP(pData, nPlain)) continue;
      cPacketRTP::sParsed parsed;
      if (!cPacketRTP::ParsePacket(pData, static_cast<size_t>(nPlain), parsed)) continue;
      m_pLineRTP->OnSocketRecv(m_RecvFrom[i], parsed.uSsrc, parsed.nSeqNo, parsed.nPayloadType,
                               parsed.uTimeStamp, parsed.pPayload, parsed.nPayloadLength,
                               arrivedAt);
      // The line may have closed the socket while handling the datagram.
      if (alive.expired()) return false;
    }
    if (nGot < kReadBatch) return false;
  }
  return true;
}

bool cSocketRTP::ResolveDestination(const char* pIP, int nPort) {
  // Compared in place: this runs for every datagram sent.
  const char* pHost = pIP ? pIP : "";
  if (!m_bDestSet || nPort != m_nDestPort || m_sDestIP != pHost) {
    m_bDestSet = true;
    m_sDestIP = pHost;
    m_nDestPort = nPort;
    ++m_nDestChange;
    m_bDestValid = false;
    m_bResolving = false;
    m_RetryAt = {};
    if (!pIP || !*pIP || nPort <= 0 || nPort > 65535) {
      // Nothing to look up: never retried.
      m_RetryAt = std::chrono::steady_clock::time_point::max();
      return false;
    }
    m_bDestValid = MakeEndpoint(pIP, nPort, m_Dest);
  }
  if (m_bDestValid) return true;
  if (m_bResolving || std::chrono::steady_clock::now() < m_RetryAt) return false;
  // A host name is looked up off the media thread (on the resolver's); datagrams until the
  // answer are dropped, and a failed lookup is tried again a while later.
  m_bResolving = true;
  if (!m_pResolver) m_pResolver = std::make_unique<cDnsResolver>();
  std::weak_ptr<char> alive = m_pAlive;
  const auto nPortNumber = static_cast<uint16_t>(nPort);
  asio::io_context& context = m_Context;
  const uint32_t nChange = m_nDestChange;
  auto fnAnswer = [this, alive, nChange, nPortNumber,
                   &context](const cDnsResolver::sAnswer& answer) {
    asio::post(context, [this, alive, nChange, nPortNumber, answer] {
      if (alive.expired() || nChange != m_nDestChange) return;
      m_bResolving = false;
      if (!answer.records.empty() &&
          MakeEndpoint(answer.records.front().sName.c_str(), nPortNumber, m_Dest)) {
        m_bDestValid = true;
      } else {
        m_RetryAt = std::chrono::steady_clock::now() + kResolveRetry;
      }
    });
  };
  if (!m_pResolver->Query(pIP, cDnsResolver::eType::A, fnAnswer)) {
    m_bResolving = false;
    m_RetryAt = std::chrono::steady_clock::now() + kResolveRetry;
  }
  return false;
}

void cSocketRTP::SendToSocket(const uint8_t* pData, int nLength, const char* pIP, int nPort) {
  if (m_nFd < 0 || nLength <= 0 || !ResolveDestination(pIP, nPort)) return;
  uint8_t secured[kMaxProtected + cSrtpContext::kMaxTrailer];
  if (m_pSrtp && m_pSrtp->IsSending()) {
    if (nLength > kMaxProtected) return;
    std::memcpy(secured, pData, static_cast<size_t>(nLength));
    if (!m_pSrtp->ProtectRTP(secured, nLength)) return;
    pData = secured;
  }
  // A datagram the system cannot take now is lost, as on the wire.
  ::sendto(m_nFd, pData, static_cast<size_t>(nLength), 0, m_Dest.data(),
           static_cast<socklen_t>(m_Dest.size()));
}

void cSocketRTP::CloseSocket() {
  m_pAlive.reset();
  m_pResolver.reset();
  m_bDestSet = false;
  m_bResolving = false;
  StopWatch();
  if (m_nFd < 0) return;
  ::close(m_nFd);
  m_nFd = -1;
}

bool cSocketRTP::IsPortAvailable(asio::io_context& context, const char* pIP, int nPort) {
  asio::ip::udp::endpoint endpoint;
  if (!MakeEndpoint(pIP, nPort, endpoint)) return false;
  asio::ip::udp::socket probe(context);
  asio::error_code ec;
  probe.open(asio::ip::udp::v4(), ec);
  if (!ec) probe.bind(endpoint, ec);
  return !ec;
}
