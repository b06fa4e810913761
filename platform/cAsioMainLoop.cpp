#include "platform/cAsioMainLoop.h"

#include <asio/post.hpp>

struct cAsioMainLoop::Timer {
  Timer(asio::io_context& ctx, uint32_t nMs, std::function<void()> f)
      : timer(ctx), interval(nMs), fn(std::move(f)) {}
  asio::steady_timer timer;
  std::chrono::milliseconds interval;
  std::function<void()> fn;
  bool bStopped = false;
};

cAsioMainLoop::cAsioMainLoop() = default;

// cancel() throws only on a failure a steady timer never reports.
cAsioMainLoop::~cAsioMainLoop() {  // NOLINT(bugprone-exception-escape)
  for (auto& [id, timer] : m_Timers) {
    timer->bStopped = true;
    timer->timer.cancel();
  }
}

void cAsioMainLoop::Post(std::function<void()> fn) { asio::post(m_Context, std::move(fn)); }

uint32_t cAsioMainLoop::StartTimer(uint32_t nIntervalMs, std::function<void()> fn) {
  if (nIntervalMs == 0 || !fn) return 0;
  uint32_t nId = m_nNextTimerId++;
  if (m_nNextTimerId == 0) m_nNextTimerId = 1;
  auto timer = std::make_shared<Timer>(m_Context, nIntervalMs, std::move(fn));
  timer->timer.expires_after(timer->interval);
  m_Timers[nId] = timer;
  Arm(timer);
  return nId;
}

void cAsioMainLoop::Arm(const std::shared_ptr<Timer>& timer) {
  timer->timer.async_wait([this, timer](const std::error_code& ec) {
    if (ec || timer->bStopped) return;
    // Re-arm from the previous deadline so the period does not drift.
    timer->timer.expires_at(timer->timer.expiry() + timer->interval);
    Arm(timer);
    timer->fn();
  });
}

void cAsioMainLoop::StopTimer(uint32_t nTimerId) {
  auto it = m_Timers.find(nTimerId);
  if (it == m_Timers.end()) return;
  it->second->bStopped = true;
  it->second->timer.cancel();
  m_Timers.erase(it);
}

void cAsioMainLoop::Run() {
  m_Context.restart();
  auto guard = asio::make_work_guard(m_Context);
  m_Context.run();
}

void cAsioMainLoop::RunFor(std::chrono::milliseconds duration) {
  m_Context.restart();
  auto guard = asio::make_work_guard(m_Context);
  m_Context.run_for(duration);
}

bool cAsioMainLoop::RunUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
  m_Context.restart();
  auto guard = asio::make_work_guard(m_Context);
  auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!pred()) {
    auto now = std::chrono::steady_clock::now();
    if (now >= deadline || m_Context.stopped()) break;
    m_Context.run_one_until(deadline);
  }
  return pred();
}

void cAsioMainLoop::Poll() {
  m_Context.restart();
  m_Context.poll();
}

void cAsioMainLoop::Stop() { m_Context.stop(); }
