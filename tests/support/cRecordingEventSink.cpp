#include "tests/support/cRecordingEventSink.h"

#include <algorithm>

namespace kyttest {

size_t cRecordingEventSink::Count(const std::string& sPrefix) const {
  return std::count_if(m_Events.begin(), m_Events.end(), [&](const std::string& line) {
    return line.compare(0, sPrefix.size(), sPrefix) == 0;
  });
}

bool cRecordingEventSink::Heard(const std::string& sLine) const {
  return std::find(m_Events.begin(), m_Events.end(), sLine) != m_Events.end();
}

std::string cRecordingEventSink::All() const {
  std::string out;
  for (const std::string& line : m_Events) out += line + "\n";
  return out;
}

void cRecordingEventSink::Add(const std::string& sLine) {
  m_Events.push_back(sLine);
  if (m_OnEvent) m_OnEvent(sLine);
}

}  // namespace kyttest
