// The core and its media engine: calls cross to the media thread and back, the thread ends with
// the agent, and the relay closes a line's media before the page hears of a failure.

#include <dirent.h>
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <mutex>
#include <thread>

#include "KytRTP/cKytRTP.h"
#include "audio/cAudioBackend.h"
#include "platform/cAsioMainLoop.h"
#include "tests/support/cLoopbackPort.h"
#include "tests/support/cRecordingLib.h"
#include "useragent/cKytEventObj.h"
#include "useragent/cKytSIPUserAgentObject.h"

using kyttest::cRecordingLib;

namespace {

// What a sound device backend saw, shared with the test (the backend itself belongs to the
// media engine once handed over).
struct sDeviceWatch {
  std::atomic<bool> bOpen{false};
  std::atomic<int> nOpens{0};
  std::mutex lock;
  std::thread::id openThread;
  int nOpenAnswer = 0;
};

class cWatchBackend : public cAudioBackend {
 public:
  explicit cWatchBackend(std::shared_ptr<sDeviceWatch> pWatch) : m_pWatch(std::move(pWatch)) {}
  int Open(cSound*) override {
    std::lock_guard<std::mutex> guard(m_pWatch->lock);
    m_pWatch->openThread = std::this_thread::get_id();
    ++m_pWatch->nOpens;
    if (m_pWatch->nOpenAnswer != 0) return m_pWatch->nOpenAnswer;
    m_pWatch->bOpen = true;
    return 0;
  }
  void Close() override { m_pWatch->bOpen = false; }

 private:
  std::shared_ptr<sDeviceWatch> m_pWatch;
};

int ThreadCount() {
  int n = 0;
  if (DIR* pDir = opendir("/proc/self/task")) {
    while (dirent* pEntry = readdir(pDir)) {
      if (pEntry->d_name[0] != '.') ++n;
    }
    closedir(pDir);
  }
  return n;
}

class MediaWiring : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(m_UA.GetKytMainObj()->GetKytRTPLib()->SetAudioBackend(
        std::make_unique<cWatchBackend>(m_pWatch)));
    ASSERT_TRUE(m_UA.Initialize(true, "127.0.0.1", 0, "sip:alice@127.0.0.1", "",
                                "sip:127.0.0.1:5999", "alice", "pw", true, 2));
    ASSERT_TRUE(m_UA.OpenLine(0, true, "127.0.0.1", kyttest::cLoopbackPort::FreeUdp(2)));
    ASSERT_TRUE(m_UA.OpenLine(1, true, "127.0.0.1", kyttest::cLoopbackPort::FreeUdp(2)));
  }
  cKytRTP& Media() { return *m_UA.GetKytMainObj()->GetKytRTPLib(); }
  cKytEventObj& Relay() { return *m_UA.GetKytMainObj()->GetEventObj(); }

  std::shared_ptr<sDeviceWatch> m_pWatch = std::make_shared<sDeviceWatch>();
  cAsioMainLoop m_Loop;
  cRecordingLib m_UA{&m_Loop};
};

TEST_F(MediaWiring, AMediaCallRunsOnTheMediaThreadAndReturnsItsResult) {
  ASSERT_TRUE(Media().OpenMEDIA(0, 0, 0));
  EXPECT_TRUE(m_pWatch->bOpen);
  std::lock_guard<std::mutex> guard(m_pWatch->lock);
  EXPECT_NE(std::this_thread::get_id(), m_pWatch->openThread);
}

TEST_F(MediaWiring, AMediaFailureComesBackAsTheCallsCode) {
  {
    std::lock_guard<std::mutex> guard(m_pWatch->lock);
    m_pWatch->nOpenAnswer = 15;
  }
  EXPECT_FALSE(m_UA.Connect(0, "sip:bob@127.0.0.1:5999", 0, 0));
  EXPECT_EQ(15, m_UA.GetKytObjectError());
  EXPECT_EQ(1, m_pWatch->nOpens);
  EXPECT_FALSE(m_UA.IsLineBusy(0)) << "no INVITE went out";
}

TEST_F(MediaWiring, FailuresOnABoundLineCloseItsMediaBeforeThePageHears) {
  std::vector<bool> openWhenHeard;
  m_UA.m_OnEvent = [&](const std::string&) { openWhenHeard.push_back(m_pWatch->bOpen); };
  const auto reopen = [&] { ASSERT_TRUE(Media().OpenMEDIA(1, 0, 0)); };

  reopen();
  Relay().OnRequestFailureResponse(1, 486, "Busy Here");
  reopen();
  Relay().OnServerFailureResponse(1, 503, "Service Unavailable");
  reopen();
  Relay().OnGeneralFailureResponse(1, 603, "Decline");
  reopen();
  Relay().OnRedirectResponse(1, 302, "Moved Temporarily", "<sip:carol@127.0.0.1>");
  reopen();
  Relay().OnFailToConnect(1);
  reopen();
  Relay().OnDisconnectCall(1);

  EXPECT_EQ(std::vector<bool>(6, false), openWhenHeard);
  EXPECT_EQ((std::vector<std::string>{
                "OnRequestFailureResponse 1 486 Busy Here",
                "OnServerFailureResponse 1 503 Service Unavailable",
                "OnGeneralFailureResponse 1 603 Decline",
                "OnRedirectionResponse 1 302 Moved Temporarily <sip:carol@127.0.0.1>",
                "OnFailToConnect 1", "OnDisconnectCall 1"}),
            m_UA.m_Events);
}

TEST_F(MediaWiring, FailuresOfACallOnNoLineLeaveTheMediaRunning) {
  ASSERT_TRUE(Media().OpenMEDIA(0, 0, 0));
  Relay().OnRequestFailureResponse(-1, 486, "Busy Here");
  Relay().OnRedirectResponse(-1, 301, "Moved Permanently", "<sip:x@y>");
  Relay().OnDisconnectCall(-1);
  EXPECT_TRUE(m_pWatch->bOpen);
  EXPECT_TRUE(m_UA.m_Events.empty());
}

TEST(MediaThread, DestroyingTheAgentEndsTheMediaThread) {
  cAsioMainLoop loop;
  // A runtime may start a helper of its own with the first thread (ThreadSanitizer does).
  std::thread([] {}).join();
  const int nBefore = ThreadCount();
  auto pUA = std::make_unique<cRecordingLib>(&loop);
  EXPECT_EQ(nBefore + 1, ThreadCount()) << "the media thread starts with the agent";
  pUA.reset();
  EXPECT_EQ(nBefore, ThreadCount());
}

}  // namespace
