#include "bridge/cBridgeEventLog.h"

cBridgeEventLog::cBridgeEventLog() : m_StreamGoneSince(tClock::now()) {}

void cBridgeEventLog::Add(std::string name, std::string data) {
  {
    std::lock_guard<std::mutex> guard(m_Lock);
    m_Events.push_back(cEvent{++m_nLastId, std::move(name), std::move(data), tClock::now()});
    if (m_Events.size() > kKept) m_Events.pop_front();
  }
  m_Wake.notify_all();
}

bool cBridgeEventLog::Wait(uint64_t nAfterId, std::chrono::milliseconds timeout,
                           std::vector<cEvent>* pEvents) {
  std::unique_lock<std::mutex> guard(m_Lock);
  m_Wake.wait_for(guard, timeout, [&] { return m_bClosed || m_nLastId > nAfterId; });
  for (const cEvent& event : m_Events)
    if (event.nId > nAfterId) pEvents->push_back(event);
  return !m_bClosed;
}

void cBridgeEventLog::Close() {
  {
    std::lock_guard<std::mutex> guard(m_Lock);
    m_bClosed = true;
  }
  m_Wake.notify_all();
}

cBridgeEventLog::tClock::time_point cBridgeEventLog::FiredAt(uint64_t nId) const {
  std::lock_guard<std::mutex> guard(m_Lock);
  for (const cEvent& event : m_Events)
    if (event.nId == nId) return event.fired;
  return {};
}

void cBridgeEventLog::StreamOpened() {
  std::lock_guard<std::mutex> guard(m_Lock);
  ++m_nStreams;
}

void cBridgeEventLog::StreamClosed() {
  std::lock_guard<std::mutex> guard(m_Lock);
  if (--m_nStreams == 0) m_StreamGoneSince = tClock::now();
}

bool cBridgeEventLog::IsStreamGoneFor(tClock::duration duration) const {
  std::lock_guard<std::mutex> guard(m_Lock);
  return m_nStreams == 0 && tClock::now() - m_StreamGoneSince >= duration;
}
