#pragma once

#include <array>
#include <asio/io_context.hpp>
#include <asio/ip/udp.hpp>
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

#include "platform/cDnsResolver.h"
#include "util/cKytNoCopy.h"

class cLineRTP;
class cSrtpContext;

// The UDP socket of one RTP line, on the media thread's Asio context. Every received datagram
// that parses as RTP goes to the line, with its source and the time the system received it.
// While the sound tick runs, the tick reads the socket (ReceiveWaiting) and the media thread is
// not woken for each datagram; otherwise the socket is watched by the context.
class cSocketRTP : private cKytNoCopy {
 public:
  using tClock = std::chrono::steady_clock;

  // Datagrams read at most in one go, in batches of kReadBatch; the rest wait for the next read.
  static constexpr int kReadBatch = 4;
  static constexpr int kMaxReadAtOnce = 64;

  cSocketRTP(asio::io_context& context, cLineRTP* pLineRTP);
  ~cSocketRTP();

  // Binds an IPv4 UDP socket to pIP (any address when null or empty) and nPort, and starts
  // receiving. False when the address is not IPv4 or the bind fails.
  bool OpenSocket(const char* pIP, int nPort);
  // True: the owner reads the socket with ReceiveWaiting at every tick; false: the context wakes
  // for each datagram. Kept across close and open.
  void SetPolled(bool bPolled);
  // When polled, reads and hands on what the socket holds.
  void ReceiveWaiting();
  // Sends one datagram to a dotted address, or to the first IPv4 address of a host name (looked
  // up in the background once per destination; until it answers, or while a failed lookup
  // waits to be retried, datagrams are dropped).
  void SendToSocket(const uint8_t* pData, int nLength, const char* pIP, int nPort);
  // Safe to repeat.
  void CloseSocket();
  bool IsOpen() const { return m_nFd >= 0; }
  // The line's SRTP keys: what is sent is protected and what arrives is checked with them.
  void SetSrtpContext(cSrtpContext* pSrtp) { m_pSrtp = pSrtp; }

  static bool IsPortAvailable(asio::io_context& context, const char* pIP, int nPort);

 private:
  // Registers the socket with the context and waits until it can be read; false when the
  // context refuses it.
  bool StartWatch();
  void StopWatch();
  void WaitReadable();
  // Reads what the watched socket holds, then waits again.
  void OnReadable();
  // Reads up to kMaxReadAtOnce datagrams; true when that many were read (more may wait).
  bool ReadDatagrams();
  bool ResolveDestination(const char* pIP, int nPort);

  asio::io_context& m_Context;
  cLineRTP* m_pLineRTP;
  cSrtpContext* m_pSrtp = nullptr;  // not owned
  // The socket, owned here; m_pWatch only borrows it to wait on it.
  int m_nFd = -1;
  bool m_bPolled = false;
  std::unique_ptr<asio::ip::udp::socket> m_pWatch;
  // Handlers still queued after a close see this expire and touch nothing.
  std::shared_ptr<char> m_pAlive;
  // Wait handlers of a watch that was stopped see this expire.
  std::shared_ptr<char> m_pWatchAlive;
  // A buffer for the largest datagram per batch slot, and each slot's source.
  std::unique_ptr<uint8_t[]> m_pRecvBuffers;
  std::array<asio::ip::udp::endpoint, kReadBatch> m_RecvFrom;
  // The destination last asked for; m_nDestChange counts its changes, so that a lookup answer
  // for an older one is ignored.
  bool m_bDestSet = false;
  std::string m_sDestIP;
  int m_nDestPort = 0;
  uint32_t m_nDestChange = 0;
  bool m_bDestValid = false;
  bool m_bResolving = false;
  std::chrono::steady_clock::time_point m_RetryAt;
  std::unique_ptr<cDnsResolver> m_pResolver;
  asio::ip::udp::endpoint m_Dest;
};
