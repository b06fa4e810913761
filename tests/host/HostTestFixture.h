#pragma once

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "host/cJsValue.h"
#include "host/cNPHost.h"
#include "host/cNPPage.h"

// The built plug-in in our host, with a page that writes down every event it hears.
class HostTestFixture : public ::testing::Test {
 protected:
  using tEvent = std::pair<std::string, std::vector<cJsValue>>;

  void SetUp() override { ASSERT_TRUE(m_Host.Load(KYT_PLUGIN_PATH)) << m_Host.GetLastError(); }

  void TearDown() override {
    if (!m_ScratchDir.empty()) {
      std::error_code ec;
      std::filesystem::remove_all(m_ScratchDir, ec);
    }
    EXPECT_EQ(m_Host.GetLiveObjectCount(), 0u);
    EXPECT_EQ(m_Host.GetLiveMemoryCount(), 0u);
    EXPECT_EQ(m_Host.GetFaultCount(), 0u);
    EXPECT_EQ(m_Host.GetForcedDeallocationCount(), 0u);
  }

  static cJsValue Call(cNPPage& page, const std::string& name,
                       const std::vector<cJsValue>& args = {}) {
    cJsValue result;
    EXPECT_TRUE(page.Invoke(name, args, &result)) << name;
    return result;
  }

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

  // A file in a directory of the test's own, removed when the test ends.
  std::string ScratchFile(const std::string& name) {
    if (m_ScratchDir.empty()) {
      char pattern[] = "/tmp/kyt-host-XXXXXX";
      EXPECT_NE(mkdtemp(pattern), nullptr);
      m_ScratchDir = pattern;
    }
    return m_ScratchDir + "/" + name;
  }

  cNPHost m_Host;
  std::vector<tEvent> m_Events;
  std::string m_ScratchDir;
};
