#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bridge/cBridgeEventLog.h"
#include "bridge/cBridgeGuard.h"
#include "bridge/cBridgeOptions.h"
#include "util/cKytNoCopy.h"

namespace httplib {
class Server;
struct Request;
struct Response;
}  // namespace httplib

class cBridgeSession;
class cNPHost;

// The bridge's HTTP side: the page library and demo page, sessions (one plug-in instance each),
// script calls and event streams, all behind cBridgeGuard. Requests are served on the server's
// own threads; everything that touches the plug-in is posted to the host's main thread, which
// the owner runs.
class cBridgeServer : private cKytNoCopy {
 public:
  static constexpr size_t kMaxSessions = 8;
  static constexpr size_t kMaxBody = 1024 * 1024;
  // A session whose event stream has been gone this long lost its page.
  static constexpr std::chrono::seconds kStreamGrace{10};

  cBridgeServer(cNPHost* pHost, cBridgeOptions options);
  // Stops (on the thread that runs the main loop) when Stop was not called.
  ~cBridgeServer();

  // Binds 127.0.0.1 (and ::1 where the machine has it) and starts serving; main thread.
  bool Start(std::string* error);
  // Stops serving and destroys every session; main thread.
  void Stop();
  uint16_t GetPort() const { return m_nPort; }

  size_t GetSessionCount() const;
  // Script calls that reached the plug-in.
  uint64_t GetCallCount() const { return m_nCalls; }
  // The event log of a session, or null.
  std::shared_ptr<cBridgeEventLog> FindEventLog(const std::string& id) const;

 private:
  struct cAnswer {
    int nStatus = 500;
    std::string body;
  };
  void Route(httplib::Server& server);
  // Refuses what the guard does not admit; answers true when the request was answered here.
  bool Refuse(const httplib::Request& req, httplib::Response& res);
  void OnPreflight(const httplib::Request& req, httplib::Response& res);
  void OnCreate(const httplib::Request& req, httplib::Response& res);
  void OnCall(const httplib::Request& req, httplib::Response& res);
  void OnEvents(const httplib::Request& req, httplib::Response& res);
  void OnDelete(const httplib::Request& req, httplib::Response& res);
  // The session's event log when token is its token, else null.
  std::shared_ptr<cBridgeEventLog> Authorize(const std::string& id, const std::string& token) const;
  // Runs fn on the main thread and waits for its answer (503 when the bridge stops first).
  cAnswer RunOnMain(std::function<cAnswer()> fn);
  void Reap();

  cNPHost* m_pHost;
  const cBridgeOptions m_Options;
  uint16_t m_nPort = 0;
  std::unique_ptr<cBridgeGuard> m_pGuard;
  std::vector<std::unique_ptr<httplib::Server>> m_Servers;
  std::vector<std::thread> m_Threads;
  uint32_t m_nReapTimer = 0;
  std::atomic<bool> m_bStopping{false};
  std::atomic<uint64_t> m_nCalls{0};

  mutable std::mutex m_Lock;  // the session table; sessions themselves are main-thread objects
  std::map<std::string, std::unique_ptr<cBridgeSession>> m_Sessions;
  uint64_t m_nNextSession = 1;
  // Calls posted to the main thread find it false once the server has stopped.
  std::shared_ptr<bool> m_pAlive;
};
