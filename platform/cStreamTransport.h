#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <thread>

#include "platform/cMainLoop.h"
#include "util/cKytNoCopy.h"

// Stream connections, plain TCP or TLS over TCP (OpenSSL through Asio), and a TCP listener, all
// on one thread of their own running an Asio context. Connections are known by a number; the
// owner on the main loop hears, in order, when one is up, every chunk of bytes it brings and
// when it is gone. The bytes are not framed here. Public functions are for the main thread.
class cStreamTransport : private cKytNoCopy {
 public:
  // Bytes received on a connection, as they came.
  using DataFn = std::function<void(uint32_t nConn, const std::string& data)>;
  // A connection is up (bUp), or is gone or never came up (reason says why: for TLS, the
  // certificate check that failed).
  using StateFn = std::function<void(uint32_t nConn, bool bUp, const std::string& reason)>;
  // A connection came in on the listener, from ip:nPort; it is up.
  using AcceptFn = std::function<void(uint32_t nConn, const std::string& ip, uint16_t nPort)>;

  // What a TLS client checks: the server's certificate against the system's trust store and
  // sCaFile (empty: none), and that it names sServerName (also sent as SNI).
  struct sTls {
    std::string sServerName;
    std::string sCaFile;
  };

  // Bytes of one connection waiting for the main loop, beyond which the connection is closed:
  // a peer sending faster than we read gets cut off instead of growing memory.
  static constexpr size_t kMaxWaitingBytes = 1 << 20;
  // Connections at once, and of those the ones that came in: strangers that connect and stay
  // idle can never take the places of our own.
  static constexpr size_t kMaxConnections = 64;
  static constexpr size_t kMaxIncoming = 32;
  // Bytes queued for sending on one connection.
  static constexpr size_t kMaxQueuedBytes = 1 << 20;
  // A connection not up by then (no answer to the connect, a TLS handshake that stalls) is given
  // up, so that the next message opens a fresh one instead of waiting behind it for ever.
  static constexpr std::chrono::seconds kConnectTimeout{10};

  // pLoop must outlive the transport; the callbacks run on it, never after Stop.
  cStreamTransport(cMainLoop* pLoop, DataFn fnData, StateFn fnState, AcceptFn fnAccept);
  ~cStreamTransport();

  // Accepts TCP connections on ip:nPort (empty ip: any address). False when the port is taken.
  bool Listen(const std::string& ip, uint16_t nPort);
  // Opens a connection to ip:nPort, from the listener's port when there is one (so that the
  // peer sees the address our Via and Contact name), over TLS when pTls is given. The number
  // comes at once; StateFn tells how it went. 0 when the transport is stopped or full.
  uint32_t Connect(const std::string& ip, uint16_t nPort, const sTls* pTls);
  // Queues bytes on the connection; they leave once it is up. A connection whose queue would
  // pass kMaxQueuedBytes is closed.
  void Send(uint32_t nConn, std::string data);
  // Closes the connection without a StateFn call.
  void Close(uint32_t nConn);
  // Closes the connection as if it had broken: StateFn hears that it is gone, and why.
  void Fail(uint32_t nConn, const std::string& reason);
  // Closes everything and ends the thread.
  void Stop();

 private:
  struct sConn;

  bool Start();
  // The rest run on the transport's thread.
  void DoConnect(const std::shared_ptr<sConn>& pConn, const std::string& ip, uint16_t nPort,
                 bool bFromListenPort);
  void Handshake(const std::shared_ptr<sConn>& pConn);
  void Accept();
  void Read(const std::shared_ptr<sConn>& pConn);
  void Write(const std::shared_ptr<sConn>& pConn);
  void Drop(const std::shared_ptr<sConn>& pConn, const std::string& reason);
  void PostState(uint32_t nConn, bool bUp, const std::string& reason);

  struct sImpl;
  cMainLoop* m_pLoop;
  std::shared_ptr<DataFn> m_pData;
  std::shared_ptr<StateFn> m_pState;
  std::shared_ptr<AcceptFn> m_pAccept;
  std::unique_ptr<sImpl> m_pImpl;
  // Cleared by Stop; what was posted before is dropped.
  std::shared_ptr<std::atomic<bool>> m_pAlive;
  std::atomic<uint32_t> m_nLastConn{0};
  std::thread m_Thread;
};
