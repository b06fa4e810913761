#include "plugin/cNPMainLoop.h"

#include <utility>

namespace {

// Live loops by key. The browser may deliver an asynchronous call after its loop is gone (the
// page closed with datagrams still queued); the key then finds nothing and the call is dropped.
struct cLoopRegistry {
  std::mutex lock;
  uintptr_t nNextKey = 1;
  std::map<uintptr_t, cNPMainLoop*> loops;
};

cLoopRegistry& Registry() {
  static cLoopRegistry registry;
  return registry;
}

}  // namespace

cNPMainLoop::cNPMainLoop(NPNetscapeFuncs* pBrowser, NPP pNPInstance)
    : m_pBrowser(pBrowser), m_pNPInstance(pNPInstance) {
  cLoopRegistry& registry = Registry();
  std::lock_guard<std::mutex> guard(registry.lock);
  m_nKey = registry.nNextKey++;
  registry.loops[m_nKey] = this;
}

cNPMainLoop::~cNPMainLoop() {
  {
    cLoopRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.lock);
    registry.loops.erase(m_nKey);
  }
  for (const auto& [nTimerId, fn] : m_Timers) m_pBrowser->unscheduletimer(m_pNPInstance, nTimerId);
}

void cNPMainLoop::Post(std::function<void()> fn) {
  if (!fn) return;
  {
    std::lock_guard<std::mutex> guard(m_PostedLock);
    m_Posted.push_back(std::move(fn));
  }
  // One browser call per posted function; each runs the oldest one, so order is kept.
  // The browser carries our registry key, not a pointer, so a late call finds no dead loop.
  void* pKey = reinterpret_cast<void*>(m_nKey);  // NOLINT(performance-no-int-to-ptr)
  m_pBrowser->pluginthreadasynccall(m_pNPInstance, &cNPMainLoop::OnAsyncCall, pKey);
}

void cNPMainLoop::OnAsyncCall(void* pUserData) {
  cNPMainLoop* pLoop = nullptr;
  {
    cLoopRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.lock);
    auto it = registry.loops.find(reinterpret_cast<uintptr_t>(pUserData));
    if (it == registry.loops.end()) return;
    pLoop = it->second;
  }
  // Loops are made and destroyed on this (the browser's) thread, so pLoop stays valid here.
  pLoop->RunOnePosted();
}

void cNPMainLoop::RunOnePosted() {
  std::function<void()> fn;
  {
    std::lock_guard<std::mutex> guard(m_PostedLock);
    if (m_Posted.empty()) return;
    fn = std::move(m_Posted.front());
    m_Posted.pop_front();
  }
  fn();
}

uint32_t cNPMainLoop::StartTimer(uint32_t nIntervalMs, std::function<void()> fn) {
  if (nIntervalMs == 0 || !fn) return 0;
  uint32_t nTimerId =
      m_pBrowser->scheduletimer(m_pNPInstance, nIntervalMs, true, &cNPMainLoop::OnTimer);
  if (nTimerId != 0) m_Timers[nTimerId] = std::make_shared<std::function<void()>>(std::move(fn));
  return nTimerId;
}

void cNPMainLoop::StopTimer(uint32_t nTimerId) {
  auto it = m_Timers.find(nTimerId);
  if (it == m_Timers.end()) return;
  m_pBrowser->unscheduletimer(m_pNPInstance, nTimerId);
  m_Timers.erase(it);
}

void cNPMainLoop::OnTimer(NPP pNPInstance, uint32_t nTimerId) {
  std::shared_ptr<std::function<void()>> fn;
  {
    cLoopRegistry& registry = Registry();
    std::lock_guard<std::mutex> guard(registry.lock);
    for (const auto& [nKey, pLoop] : registry.loops) {
      if (pLoop->m_pNPInstance != pNPInstance) continue;
      auto it = pLoop->m_Timers.find(nTimerId);
      if (it != pLoop->m_Timers.end()) {
        fn = it->second;
        break;
      }
    }
  }
  // Held by a reference of our own: the timer function may stop its own timer.
  if (fn) (*fn)();
}
