#pragma once

// Waiting in tests for what happens outside the test's own code: another process, a socket.

#include <chrono>
#include <functional>

#include "platform/cAsioMainLoop.h"

namespace kyttest {

// Looks at pred() every 20 ms, sleeping in between, until it holds or the time is up; answers
// pred(). For conditions no main loop handler changes (a server's port, a file).
bool PollUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout);

// Runs the loop until pred() holds or the time is up, waking at least every 20 ms so that
// conditions no handler changes (another process ending) are noticed too; answers pred().
bool RunLoopUntil(cAsioMainLoop& loop, const std::function<bool()>& pred,
                  std::chrono::milliseconds timeout);

}  // namespace kyttest
