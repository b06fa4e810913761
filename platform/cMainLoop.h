#pragma once

#include <cstdint>
#include <functional>

// The thread that runs script calls, SIP datagrams, the one-second tick and every event.
// Inside a browser the plug-in implements it with the browser's own async calls and timers;
// hosts and tests use cAsioMainLoop.
class cMainLoop {
 public:
  virtual ~cMainLoop() = default;

  // Queues fn to run on the main thread. Safe to call from any thread; calls run in the order
  // they were posted.
  virtual void Post(std::function<void()> fn) = 0;

  // Starts a repeating timer on the main thread; returns its id (never 0), or 0 on failure.
  virtual uint32_t StartTimer(uint32_t nIntervalMs, std::function<void()> fn) = 0;

  // Stops a timer started by StartTimer; an unknown id is ignored. Main thread only.
  virtual void StopTimer(uint32_t nTimerId) = 0;
};
