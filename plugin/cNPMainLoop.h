#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>

#include "platform/cMainLoop.h"
#include "plugin/KytNPAPI.h"
#include "util/cKytNoCopy.h"

// The user agent's main loop inside a browser: posted calls become the browser's asynchronous
// calls to the plug-in thread and timers are the browser's own, so the browser's thread runs the
// whole user agent and nothing blocks it. Calls and timers still pending when the loop goes are
// dropped.
class cNPMainLoop : public cMainLoop, private cKytNoCopy {
 public:
  cNPMainLoop(NPNetscapeFuncs* pBrowser, NPP pNPInstance);
  ~cNPMainLoop() override;

  void Post(std::function<void()> fn) override;
  uint32_t StartTimer(uint32_t nIntervalMs, std::function<void()> fn) override;
  void StopTimer(uint32_t nTimerId) override;

 private:
  static void OnAsyncCall(void* pUserData);
  static void OnTimer(NPP pNPInstance, uint32_t nTimerId);
  void RunOnePosted();

  NPNetscapeFuncs* m_pBrowser;
  NPP m_pNPInstance;
  // Which loop an asynchronous call belongs to; the browser hands the key back to us.
  uintptr_t m_nKey;
  std::mutex m_PostedLock;
  std::deque<std::function<void()>> m_Posted;
  std::map<uint32_t, std::shared_ptr<std::function<void()>>> m_Timers;
};
