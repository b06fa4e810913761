#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "platform/cMainLoop.h"
#include "util/cKytNoCopy.h"

// One IPv4 UDP socket. A reader thread receives whole datagrams and posts each to the main loop,
// so they are handled there in arrival order; sends are synchronous.
class cUdpSocket : private cKytNoCopy {
 public:
  using ReceiveFn =
      std::function<void(const std::string& data, const std::string& fromIp, uint16_t nFromPort)>;

  cUdpSocket() = default;
  ~cUdpSocket();

  // Binds to ip:port (an empty ip or "0.0.0.0" means any address; port 0 lets the system pick).
  bool Bind(const std::string& ip, uint16_t nPort);
  bool IsOpen() const { return m_nFd >= 0; }
  uint16_t GetLocalPort() const;

  // Starts the reader. fn runs on the main loop's thread, never after Close. With nMaxQueued
  // above 0, at most that many datagrams wait for the main loop at once; the reader drops (and
  // counts) what arrives beyond, so a flood cannot grow memory without end.
  bool StartReader(cMainLoop* pLoop, ReceiveFn fn, size_t nMaxQueued = 0);
  // Datagrams dropped because the main loop had nMaxQueued of them waiting.
  uint64_t GetDroppedCount() const { return m_pQueue ? m_pQueue->nDropped.load() : 0; }

  // Resolves host at every send (it may be a name) and sends one datagram.
  bool SendTo(const std::string& host, uint16_t nPort, const void* pData, size_t nLen);

  // Stops the reader and closes the socket. Call it on the main thread.
  void Close();

 private:
  // Shared with the posted datagrams, which may outlive the socket on the loop's queue.
  struct sQueue {
    std::atomic<size_t> nWaiting{0};
    std::atomic<uint64_t> nDropped{0};
    size_t nMax = 0;
  };

  void ReadLoop(cMainLoop* pLoop, ReceiveFn fn);

  int m_nFd = -1;
  int m_nWakeFd = -1;
  std::thread m_Reader;
  // Cleared on the main thread by Close; datagrams posted before that are dropped.
  std::shared_ptr<std::atomic<bool>> m_pAlive;
  std::shared_ptr<sQueue> m_pQueue;
};
