#include "tests/support/cRecordingLib.h"

namespace kyttest {

void cRecordingLib::Add(const std::string& sName, const std::string& sArgs) {
  if (m_OnEvent) m_OnEvent(sName);
  m_Events.push_back(sArgs.empty() ? sName : sName + " " + sArgs);
}

bool cRecordingLib::Heard(const std::string& sPrefix) const { return Count(sPrefix) > 0; }

size_t cRecordingLib::Count(const std::string& sPrefix) const {
  size_t n = 0;
  for (const auto& e : m_Events) {
    if (e.compare(0, sPrefix.size(), sPrefix) == 0) ++n;
  }
  return n;
}

std::string cRecordingLib::EventText(const std::string& sPrefix) const {
  for (const auto& e : m_Events) {
    if (e.compare(0, sPrefix.size(), sPrefix) == 0) return e;
  }
  return "";
}

std::string cRecordingLib::All() const {
  std::string out;
  for (const auto& e : m_Events) out += e + "\n";
  return out;
}

}  // namespace kyttest
