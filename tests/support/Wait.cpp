#include "tests/support/Wait.h"

#include <thread>

namespace kyttest {

bool PollUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

bool RunLoopUntil(cAsioMainLoop& loop, const std::function<bool()>& pred,
                  std::chrono::milliseconds timeout) {
  const uint32_t nTimer = loop.StartTimer(20, [] {});
  const bool bResult = loop.RunUntil(pred, timeout);
  loop.StopTimer(nTimer);
  return bResult;
}

}  // namespace kyttest
