#include "KytRTP/cSocketRTP.h"

#include <asio/ip/address_v4.hpp>
#include <asio/post.hpp>
#include <cstring>

#include "KytRTP/cLineRTP.h"
#include "KytRTP/cPacketRTP.h"
#include "KytRTP/cSrtpContext.h"

namespace {

// Larger than any UDP datagram over IPv4, so nothing is ever cut short.
constexpr size_t kMaxDatagram = 65536;
// A host name that could not be looked up is tried again after this.
constexpr auto kResolveRetry = std::chrono::seconds(10);
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

}  // namespace

cSocketRTP::cSocketRTP(asio::io_context& context, cLineRTP* pLineRTP)
    : m_Context(context), m_pLineRTP(pLineRTP), m_RecvBuffer(kMaxDatagram) {}

cSocketRTP::~cSocketRTP() { CloseSocket(); }

bool cSocketRTP::OpenSocket(const char* pIP, int nPort) {
  CloseSocket();
  asio::ip::udp::endpoint endpoint;
  if (!MakeEndpoint(pIP, nPort, endpoint)) return false;
  auto pSocket = std::make_unique<asio::ip::udp::socket>(m_Context);
  asio::error_code ec;
  pSocket->open(asio::ip::udp::v4(), ec);
  if (!ec) pSocket->bind(endpoint, ec);
  if (!ec) pSocket->non_blocking(true, ec);
  if (ec) return false;
  m_objSocket = std::move(pSocket);
  m_pAlive = std::make_shared<char>(0);
  StartReceive();
  return true;
}

void cSocketRTP::StartReceive() {
  std::weak_ptr<char> alive = m_pAlive;
  m_objSocket->async_receive_from(asio::buffer(m_RecvBuffer), m_RecvFrom,
                                  [this, alive](const asio::error_code& ec, size_t nLength) {
                                    if (alive.expired()) return;
                                    if (!ec && nLength > 0)
                                      OnSocketRecv(m_RecvBuffer.data(), nLength);
                                    // The line may have closed the socket while handling the
                                    // datagram.
                                    if (!alive.expired() && ec != asio::error::operation_aborted)
                                      StartReceive();
                                  });
}

void cSocketRTP::OnSocketRecv(uint8_t* pData, size_t nLength) {
  int nPlain = static_cast<int>(nLength);
  if (m_pSrtp && !m_pSrtp->UnprotectRTP(pData, nPlain)) return;
  cPacketRTP::sParsed parsed;
  if (!cPacketRTP::ParsePacket(pData, static_cast<size_t>(nPlain), parsed)) return;
  m_pLineRTP->OnSocketRecv(m_RecvFrom, parsed.uSsrc, parsed.nSeqNo, parsed.nPayloadType,
                           parsed.uTimeStamp, parsed.pPayload, parsed.nPayloadLength);
}

bool cSocketRTP::ResolveDestination(const char* pIP, int nPort) {
  const std::string sKey = std::string(pIP ? pIP : "") + ":" + std::to_string(nPort);
  if (sKey != m_sDestKey) {
    m_sDestKey = sKey;
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
  auto fnAnswer = [this, alive, sKey, nPortNumber, &context](const cDnsResolver::sAnswer& answer) {
    asio::post(context, [this, alive, sKey, nPortNumber, answer] {
      if (alive.expired() || sKey != m_sDestKey) return;
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
  if (!m_objSocket || nLength <= 0 || !ResolveDestination(pIP, nPort)) return;
  uint8_t secured[kMaxProtected + cSrtpContext::kMaxTrailer];
  if (m_pSrtp && m_pSrtp->IsSending()) {
    if (nLength > kMaxProtected) return;
    std::memcpy(secured, pData, static_cast<size_t>(nLength));
    if (!m_pSrtp->ProtectRTP(secured, nLength)) return;
    pData = secured;
  }
  asio::error_code ec;
  m_objSocket->send_to(asio::buffer(pData, nLength), m_Dest, 0, ec);
}

void cSocketRTP::CloseSocket() {
  m_pAlive.reset();
  m_pResolver.reset();
  m_sDestKey.clear();
  m_bResolving = false;
  if (!m_objSocket) return;
  asio::error_code ec;
  m_objSocket->close(ec);
  m_objSocket.reset();
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
