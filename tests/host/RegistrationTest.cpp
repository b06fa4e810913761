#include <chrono>
#include <string>
#include <vector>

#include "HostTestFixture.h"
#include "tests/support/cSippPeer.h"

using namespace std::chrono_literals;

namespace {

// SIPp as the registrar of alice, whose user agent runs in a page of our host.
class HostSippRegistrationTest : public HostTestFixture {
 protected:
  void StartRegistrar(const std::string& scenario) {
    ASSERT_TRUE(m_Registrar.Start(DataFile(scenario), "", 60s))
        << "sipp (package sip-tester) is needed\n"
        << m_Registrar.Output();
  }

  // alice on 127.0.0.1 with the registrar as proxy.
  std::vector<cJsValue> Account(const std::string& password = "secret") const {
    return {true,          "127.0.0.1",       0,  "alice", "alice", password, "Alice",
            "example.com", m_Registrar.Uri(), "", true,    2};
  }

  std::string Diagnose() const {
    std::string text = "events:";
    for (const tEvent& event : m_Events) text += " " + event.first + cJsValue::ToJSON(event.second);
    return text + "\nsipp:\n" + m_Registrar.Output();
  }

  kyttest::cSippPeer m_Registrar;
};

const std::vector<cJsValue> kNone;

TEST_F(HostSippRegistrationTest, RegistersWithDigestAndUnregisters) {
  StartRegistrar("registrar.xml");
  cNPPage page(&m_Host);
  RecordEvents(page);
  ASSERT_EQ(Call(page, "InitializeEx", Account()), cJsValue(true)) << Diagnose();
  ASSERT_EQ(Call(page, "RegisterToProxy", {3600}), cJsValue(true));
  ASSERT_TRUE(RunUntilEvent("OnSuccessToRegister")) << Diagnose();
  const std::vector<tEvent> registered = {{"OnTryingToRegister", kNone},
                                          {"OnSuccessToRegister", kNone}};
  EXPECT_EQ(m_Events, registered) << Diagnose();

  m_Events.clear();
  ASSERT_EQ(Call(page, "UnRegisterToProxy"), cJsValue(true));
  ASSERT_TRUE(RunUntilEvent("OnSuccessToUnRegister")) << Diagnose();
  const std::vector<tEvent> unregistered = {{"OnTryingToUnRegister", kNone},
                                            {"OnSuccessToUnRegister", kNone}};
  EXPECT_EQ(m_Events, unregistered) << Diagnose();
  Call(page, "UnInitialize");
}

TEST_F(HostSippRegistrationTest, WrongPasswordIsRefusedWithCodeAndReason) {
  StartRegistrar("registrar.xml");
  cNPPage page(&m_Host);
  RecordEvents(page);
  ASSERT_EQ(Call(page, "InitializeEx", Account("not-the-password")), cJsValue(true));
  ASSERT_EQ(Call(page, "RegisterToProxy", {3600}), cJsValue(true));
  ASSERT_TRUE(RunUntilEvent("OnFailToRegisterEx")) << Diagnose();
  const std::vector<tEvent> expected = {
      {"OnTryingToRegister", kNone},
      {"OnFailToRegister", kNone},
      {"OnFailToRegisterEx", {403, "Wrong Credentials"}},
  };
  EXPECT_EQ(m_Events, expected) << Diagnose();
}

// The reason phrase reaches the page byte for byte, whatever characters it holds.
TEST_F(HostSippRegistrationTest, RefusalReasonArrivesWholeAfterTheArgumentlessEvent) {
  StartRegistrar("registrar_refuse.xml");
  cNPPage page(&m_Host);
  RecordEvents(page);
  ASSERT_EQ(Call(page, "InitializeEx", Account()), cJsValue(true));
  ASSERT_EQ(Call(page, "RegisterToProxy", {60}), cJsValue(true));
  ASSERT_TRUE(RunUntilEvent("OnFailToRegisterEx")) << Diagnose();
  const std::vector<tEvent> expected = {
      {"OnTryingToRegister", kNone},
      {"OnFailToRegister", kNone},
      {"OnFailToRegisterEx",
       {403,
        "Zugang f\xC3\xBCr \xC3\x85lice verweigert \xE2\x80\x93 \xE7\xA6\x81\xE6\xAD\xA2 "
        "\xF0\x9F\x9A\xAB"}},
  };
  EXPECT_EQ(m_Events, expected) << Diagnose();
}

// Page functions run on the main thread inside the SIP processing that raised them and may call
// the plug-in again; what they change is there when the event returns.
TEST_F(HostSippRegistrationTest, PageFunctionsCallBackIntoThePlugin) {
  StartRegistrar("registrar.xml");
  cNPPage page(&m_Host);
  std::vector<std::string> heard;
  page.SetEventFunction("OnTryingToRegister", [&](const cNPPage::tArgs& args) {
    heard.push_back("OnTryingToRegister");
    EXPECT_TRUE(args.empty());
    EXPECT_EQ(Call(page, "GetKytObjectError"), cJsValue(0));
    EXPECT_EQ(Call(page, "GetVersionFile"), cJsValue("7.0.7.3"));
  });
  page.SetEventFunction("OnSuccessToRegister", [&](const cNPPage::tArgs&) {
    heard.push_back("OnSuccessToRegister");
    EXPECT_EQ(Call(page, "IsLineBusy", {1}), cJsValue(false));
    // Line 0 was never opened: the core answers false and keeps code 31.
    EXPECT_EQ(Call(page, "DigitDTMF", {0, "5"}), cJsValue(false));
  });
  ASSERT_EQ(Call(page, "InitializeEx", Account()), cJsValue(true));
  ASSERT_EQ(Call(page, "RegisterToProxy", {3600}), cJsValue(true));
  ASSERT_TRUE(
      m_Host.GetMainLoop().RunUntil([&] { return heard.size() == 2; }, std::chrono::seconds(20)))
      << m_Registrar.Output();
  EXPECT_EQ(heard, (std::vector<std::string>{"OnTryingToRegister", "OnSuccessToRegister"}));
  EXPECT_EQ(Call(page, "GetKytObjectError"), cJsValue(31));
  // The texts and variants of every event were given back.
  EXPECT_EQ(m_Host.GetLiveMemoryCount(), 0u);
}

// A page hears only the events it defines functions for, and only its own.
TEST_F(HostSippRegistrationTest, APageHearsOnlyWhatItDefines) {
  StartRegistrar("registrar.xml");
  cNPPage page(&m_Host);
  int nSuccess = 0;
  page.SetEventFunction("OnSuccessToRegister", [&](const cNPPage::tArgs&) { ++nSuccess; });
  cNPPage watcher(&m_Host);
  RecordEvents(watcher);
  ASSERT_EQ(Call(page, "InitializeEx", Account()), cJsValue(true));
  ASSERT_EQ(Call(page, "RegisterToProxy", {3600}), cJsValue(true));
  ASSERT_TRUE(m_Host.GetMainLoop().RunUntil([&] { return nSuccess > 0; }, std::chrono::seconds(20)))
      << m_Registrar.Output();
  EXPECT_EQ(nSuccess, 1);
  EXPECT_TRUE(m_Events.empty()) << Diagnose();
}

}  // namespace
