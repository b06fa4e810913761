#pragma once

#include <asio/io_context.hpp>
#include <asio/steady_timer.hpp>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <thread>

#include "platform/cMainLoop.h"

// Main loop on a standalone Asio context, for our own hosts and for tests. The thread that calls
// Run/RunFor/RunUntil is the main thread for as long as it runs.
class cAsioMainLoop : public cMainLoop {
 public:
  cAsioMainLoop();
  ~cAsioMainLoop() override;  // NOLINT(bugprone-exception-escape): see the definition

  void Post(std::function<void()> fn) override;
  uint32_t StartTimer(uint32_t nIntervalMs, std::function<void()> fn) override;
  void StopTimer(uint32_t nTimerId) override;

  // Runs until Stop is called.
  void Run();
  // Runs for at most the given time; returns early after Stop.
  void RunFor(std::chrono::milliseconds duration);
  // Runs until pred() holds (checked after every handler) or the time is up; answers pred().
  bool RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout);
  // Runs what is ready now without waiting.
  void Poll();
  // Makes a running Run/RunFor/RunUntil return. Safe from any thread.
  void Stop();

 private:
  struct Timer;
  void Arm(const std::shared_ptr<Timer>& timer);

  asio::io_context m_Context;
  std::map<uint32_t, std::shared_ptr<Timer>> m_Timers;
  uint32_t m_nNextTimerId = 1;
};
