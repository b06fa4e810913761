#pragma once

#include <chrono>
#include <string>
#include <utility>
#include <vector>

#include "tests/plugin/PluginTest.h"
#include "tests/support/cTempDir.h"

// The built plug-in in our host, with a page that writes down every event it hears.
class HostTestFixture : public PluginTest {
 protected:
  using tEvent = std::pair<std::string, std::vector<cJsValue>>;

  void RecordEvents(cNPPage& page) {
    page.SetAnyEventFunction([this](const std::string& name, const std::vector<cJsValue>& args) {
      m_Events.emplace_back(name, args);
    });
  }

  bool HasEvent(const std::string& name) const {
    for (const tEvent& event : m_Events)
      if (event.first == name) return true;
    return false;
  }

  // Runs the main loop until the event was heard; the limit only keeps a broken run from
  // hanging.
  bool RunUntilEvent(const std::string& name, int nSeconds = 20) {
    return m_Host.GetMainLoop().RunUntil([&] { return HasEvent(name); },
                                         std::chrono::seconds(nSeconds));
  }

  static std::string DataFile(const std::string& name) {
    return std::string(KYT_TEST_DATA_DIR) + "/" + name;
  }

  // A file in a folder of the test's own, removed when the test ends.
  std::string ScratchFile(const std::string& name) const { return m_ScratchDir.File(name); }

  kyttest::cTempDir m_ScratchDir{"kyt-host-"};
  std::vector<tEvent> m_Events;
};
