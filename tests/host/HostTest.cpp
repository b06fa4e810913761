#include <atomic>
#include <thread>

#include "HostTestFixture.h"

namespace {

using HostTest = HostTestFixture;

TEST_F(HostTest, IdentifiersAreOnePerName) {
  NPNetscapeFuncs* pBrowser = m_Host.GetBrowserFuncs();
  NPIdentifier a = pBrowser->getstringidentifier("OnIncomingCall");
  EXPECT_EQ(pBrowser->getstringidentifier("OnIncomingCall"), a);
  EXPECT_NE(pBrowser->getstringidentifier("OnIncomingCallRingingStart"), a);
  EXPECT_TRUE(pBrowser->identifierisstring(a));
  NPUTF8* pName = pBrowser->utf8fromidentifier(a);
  ASSERT_NE(pName, nullptr);
  EXPECT_STREQ(pName, "OnIncomingCall");
  pBrowser->memfree(pName);
  NPIdentifier n = pBrowser->getintidentifier(7);
  EXPECT_FALSE(pBrowser->identifierisstring(n));
  EXPECT_EQ(pBrowser->intfromidentifier(n), 7);
  EXPECT_EQ(m_Host.GetIdentifierName(a), "OnIncomingCall");
}

// What the plug-in does to fire an event, done by hand: window, property, call, releases.
TEST_F(HostTest, TheWindowHoldsThePageFunctions) {
  cNPPage page(&m_Host);
  std::vector<cJsValue> received;
  page.SetEventFunction("OnChatRecvMsgText", [&](const cNPPage::tArgs& args) { received = args; });
  NPNetscapeFuncs* pBrowser = m_Host.GetBrowserFuncs();

  NPObject* pWindow = nullptr;
  ASSERT_EQ(pBrowser->getvalue(page.GetInstance(), NPNVWindowNPObject, &pWindow), NPERR_NO_ERROR);
  ASSERT_NE(pWindow, nullptr);
  EXPECT_EQ(pWindow->referenceCount, 2u);  // the page's and ours

  NPVariant function;
  ASSERT_TRUE(pBrowser->getproperty(page.GetInstance(), pWindow,
                                    pBrowser->getstringidentifier("OnChatRecvMsgText"), &function));
  ASSERT_TRUE(NPVARIANT_IS_OBJECT(function));
  NPVariant args[2];
  STRINGN_TO_NPVARIANT("sip:bob@127.0.0.1", 17, args[0]);
  INT32_TO_NPVARIANT(5, args[1]);
  NPVariant result;
  EXPECT_TRUE(
      pBrowser->invokeDefault(page.GetInstance(), NPVARIANT_TO_OBJECT(function), args, 2, &result));
  EXPECT_TRUE(NPVARIANT_IS_VOID(result));
  EXPECT_EQ(received, (std::vector<cJsValue>{"sip:bob@127.0.0.1", 5}));
  pBrowser->releasevariantvalue(&function);

  // A name the page defines nothing for reads as undefined.
  NPVariant missing;
  EXPECT_TRUE(pBrowser->getproperty(page.GetInstance(), pWindow,
                                    pBrowser->getstringidentifier("OnIncomingCall"), &missing));
  EXPECT_TRUE(NPVARIANT_IS_VOID(missing));
  pBrowser->releaseobject(pWindow);
  EXPECT_EQ(pWindow->referenceCount, 1u);
}

// A host of its own: the fault it counts is expected here.
TEST(HostMemoryTest, BrowserMemoryIsCountedAndWrongFreesAreFaults) {
  cNPHost host;
  NPNetscapeFuncs* pBrowser = host.GetBrowserFuncs();
  void* p = pBrowser->memalloc(16);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(host.GetLiveMemoryCount(), 1u);
  pBrowser->memfree(p);
  EXPECT_EQ(host.GetLiveMemoryCount(), 0u);
  int notOurs = 0;
  pBrowser->memfree(&notOurs);
  EXPECT_EQ(host.GetFaultCount(), 1u);
}

TEST_F(HostTest, TimersRepeatUntilUnscheduledAndOneShotsFireOnce) {
  cNPPage page(&m_Host);
  static int s_nRepeats, s_nOnce;
  s_nRepeats = s_nOnce = 0;
  uint32_t nRepeat = page.ScheduleTimer(5, true, [](NPP, uint32_t) { ++s_nRepeats; });
  uint32_t nOnce = page.ScheduleTimer(5, false, [](NPP, uint32_t) { ++s_nOnce; });
  ASSERT_NE(nRepeat, 0u);
  ASSERT_NE(nOnce, nRepeat);
  ASSERT_TRUE(
      m_Host.GetMainLoop().RunUntil([] { return s_nRepeats >= 3; }, std::chrono::seconds(10)));
  EXPECT_EQ(s_nOnce, 1);
  EXPECT_EQ(page.GetTimerCount(), 1u);
  page.UnscheduleTimer(nRepeat);
  EXPECT_EQ(page.GetTimerCount(), 0u);
  int nBefore = s_nRepeats;
  m_Host.GetMainLoop().RunFor(std::chrono::milliseconds(30));
  EXPECT_EQ(s_nRepeats, nBefore);
}

TEST_F(HostTest, AsyncCallsFromOtherThreadsRunOnTheMainLoopUntilThePageGoes) {
  static std::thread::id s_RanOn;
  static std::atomic<int> s_nCalls;
  s_nCalls = 0;
  auto call = [](void*) {
    s_RanOn = std::this_thread::get_id();
    ++s_nCalls;
  };
  {
    cNPPage page(&m_Host);
    NPNetscapeFuncs* pBrowser = m_Host.GetBrowserFuncs();
    std::thread other([&] { pBrowser->pluginthreadasynccall(page.GetInstance(), call, nullptr); });
    other.join();
    EXPECT_EQ(s_nCalls, 0);  // nothing runs until the main loop does
    ASSERT_TRUE(
        m_Host.GetMainLoop().RunUntil([] { return s_nCalls == 1; }, std::chrono::seconds(10)));
    EXPECT_EQ(s_RanOn, std::this_thread::get_id());
    pBrowser->pluginthreadasynccall(page.GetInstance(), call, nullptr);
  }
  // The page went before its call ran: the call is dropped.
  m_Host.GetMainLoop().Poll();
  EXPECT_EQ(s_nCalls, 1);
}

TEST_F(HostTest, TheSessionRunsOnBrowserTimers) {
  cNPPage page(&m_Host);
  EXPECT_EQ(page.GetTimerCount(), 0u);
  std::vector<cJsValue> account = {
      true,          "127.0.0.1",       0,  "alice", "alice", "secret", "Alice",
      "example.com", "sip:127.0.0.1:9", "", true,    1};
  ASSERT_EQ(Call(page, "InitializeEx", account), cJsValue(true));
  EXPECT_GE(page.GetTimerCount(), 1u);
  Call(page, "UnInitialize");
  EXPECT_EQ(page.GetTimerCount(), 0u);
}

}  // namespace
