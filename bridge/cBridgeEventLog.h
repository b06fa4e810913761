#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

// The events of one session in the order the plug-in fired them, numbered from 1, for the
// session's event streams. The latest ones are kept so that a stream that comes back after a
// network blip resumes where it stopped. Added to on the main thread, read on the streams'.
class cBridgeEventLog {
 public:
  using tClock = std::chrono::steady_clock;
  struct cEvent {
    uint64_t nId;
    std::string name;
    std::string data;  // JSON array of the arguments
    tClock::time_point fired;
  };
  static constexpr size_t kKept = 1000;

  cBridgeEventLog();

  void Add(std::string name, std::string data);
  // Waits at most timeout for events after nAfterId and appends them to pEvents; false once the
  // log is closed (the session is gone).
  bool Wait(uint64_t nAfterId, std::chrono::milliseconds timeout, std::vector<cEvent>* pEvents);
  // Ends every stream.
  void Close();
  // When the event with this number was fired; the epoch when it is not kept.
  tClock::time_point FiredAt(uint64_t nId) const;

  // Streams reading the log. A session without one for a while has lost its page.
  void StreamOpened();
  void StreamClosed();
  bool IsStreamGoneFor(tClock::duration duration) const;

 private:
  mutable std::mutex m_Lock;
  std::condition_variable m_Wake;
  std::deque<cEvent> m_Events;
  uint64_t m_nLastId = 0;
  bool m_bClosed = false;
  int m_nStreams = 0;
  tClock::time_point m_StreamGoneSince;
};
