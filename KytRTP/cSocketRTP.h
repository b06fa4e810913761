#pragma once

#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/cDnsResolver.h"
#include "util/cKytNoCopy.h"

class cLineRTP;
class cSrtpContext;

// The UDP socket of one RTP line, on the media thread's Asio context. Every received datagram
// that parses as RTP goes to the line, with its source.
class cSocketRTP : private cKytNoCopy {
 public:
  cSocketRTP(asio::io_context& context, cLineRTP* pLineRTP);
  ~cSocketRTP();

  // Binds an IPv4 UDP socket to pIP (any address when null or empty) and nPort, and starts
  // receiving. False when the address is not IPv4 or the bind fails.
  bool OpenSocket(const char* pIP, int nPort);
  // Sends one datagram to a dotted address, or to the first IPv4 address of a host name (looked
  // up in the background once per destination; until it answers, or while a failed lookup
  // waits to be retried, datagrams are dropped).
  void SendToSocket(const uint8_t* pData, int nLength, const char* pIP, int nPort);
  // Safe to repeat.
  void CloseSocket();
  bool IsOpen() const { return m_objSocket != nullptr; }
  // The line's SRTP keys: what is sent is protected and what arrives is checked with them.
  void SetSrtpContext(cSrtpContext* pSrtp) { m_pSrtp = pSrtp; }

  static bool IsPortAvailable(asio::io_context& context, const char* pIP, int nPort);

 private:
  void StartReceive();
  void OnSocketRecv(uint8_t* pData, size_t nLength);
  bool ResolveDestination(const char* pIP, int nPort);

  asio::io_context& m_Context;
  cLineRTP* m_pLineRTP;
  cSrtpContext* m_pSrtp = nullptr;  // not owned
  std::unique_ptr<asio::ip::udp::socket> m_objSocket;
  // Receive handlers still queued after a close see this expire and touch nothing.
  std::shared_ptr<char> m_pAlive;
  std::vector<uint8_t> m_RecvBuffer;
  asio::ip::udp::endpoint m_RecvFrom;
  std::string m_sDestKey;
  bool m_bDestValid = false;
  bool m_bResolving = false;
  std::chrono::steady_clock::time_point m_RetryAt;
  std::unique_ptr<cDnsResolver> m_pResolver;
  asio::ip::udp::endpoint m_Dest;
};
