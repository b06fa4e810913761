#include <string>
#include <vector>

#include "PluginTest.h"

namespace {

using ScriptFunctionTest = PluginTest;

struct cExpectedCall {
  const char* pName;
  std::vector<cJsValue> args;
  cJsValue expected;
};

cJsValue Void() { return cJsValue(); }

TEST_F(ScriptFunctionTest, EveryScriptFunctionIsAMethod) {
  cNPPage page(&m_Host);
  EXPECT_EQ(std::size(kScriptFunctionNames), 118u);
  for (const char* pName : kScriptFunctionNames) EXPECT_TRUE(page.HasMethod(pName)) << pName;
  for (const char* pName : {"", "GetVersion", "InitializeEX", "OnSuccessToRegister", "toString"})
    EXPECT_FALSE(page.HasMethod(pName)) << pName;
}

// A wrong argument count answers the function's fixed value and never reaches the user agent:
// the last error stays as it was.
TEST_F(ScriptFunctionTest, WrongArgumentCountsAnswerTheirFixedValue) {
  cNPPage page(&m_Host);
  const std::vector<cExpectedCall> calls = {
      {"Connect", {0, "sip:bob@127.0.0.1"}, false},
      {"Connect", {0, "sip:bob@127.0.0.1", 0, 0, 0}, false},
      {"DialCall", {0, "200", 0}, false},
      {"AcceptCall", {0, "abc@127.0.0.1"}, false},
      {"RejectCall", {}, false},
      {"OpenLine", {0}, false},
      {"RegisterToProxy", {}, false},
      {"InitializeEx",
       {false, "", 0, "a", "a", "p", "A", "example.com", "sip:127.0.0.1", "", true},
       false},
      {"Initialize",
       {false, "", 0, "sip:a@example.com", "", "sip:127.0.0.1", "a", "p", true},
       false},
      {"IsLineConnected", {}, -1},
      {"IsLineConnected", {0, 1}, -1},
      {"IsLineBusy", {}, false},
      {"GetAudioInDevId", {}, -1},
      {"GetAudioOutDevId", {0, 1}, -1},
      {"GetAudioInDevName", {}, ""},
      {"GetAudioOutDevName", {0, 0}, ""},
      {"PlayWaveTotalTime", {}, false},
      {"PlayWavePosition", {0, 0}, false},
      {"GetOutboundCodec", {}, false},
      {"GetInboundCodec", {}, false},
      {"GetLineSpkVol", {}, false},
      {"SetLineSpkVol", {0}, false},
      {"SetSessionLostTick", {}, false},
      {"SetSpkSoftVolume", {}, false},
      {"DeactivateQosRTP", {}, Void()},
      {"DeactivateQosRTP", {1, 2}, Void()},
      {"GetCountPacketLost", {}, 0},
      {"GetSizeJitterBuffer", {0, 0}, 0},
      {"EnableAGC", {}, false},
      {"ChatSendMessageText", {"sip:bob@127.0.0.1", "hi", 101}, false},
      {"DigitDTMF", {0}, false},
  };
  for (const cExpectedCall& call : calls)
    EXPECT_EQ(Call(page, call.pName, call.args), call.expected)
        << call.pName << " with " << call.args.size() << " arguments";
  EXPECT_EQ(Call(page, "GetKytObjectError"), cJsValue(0));

  // With the right count the same call reaches the user agent, which has no session.
  EXPECT_EQ(Call(page, "Connect", {0, "sip:bob@127.0.0.1", 0, 0}), cJsValue(false));
  EXPECT_EQ(Call(page, "GetKytObjectError"), cJsValue(10));
}

TEST_F(ScriptFunctionTest, FixedAnswersWithoutASession) {
  cNPPage page(&m_Host);
  const std::vector<cExpectedCall> calls = {
      {"GetVersionFile", {}, "7.0.7.3"},
      {"GetVersionSDK", {}, "3.0"},
      {"GetAudioInDevTotal", {}, 1},
      {"GetAudioOutDevTotal", {}, 1},
      {"GetAudioInDevId", {0}, -1},
      {"GetAudioOutDevId", {0}, -1},
      {"GetAudioInDevName", {0}, "Default"},
      {"GetAudioOutDevName", {0}, "Default"},
      {"GetAudioInDevName", {1}, ""},
      {"GetAudioOutDevName", {7}, ""},
      {"GetStartMyIP", {}, false},
      {"GetNextMyIP", {}, ""},
      {"GetCallId", {}, Void()},
      {"GetCallId", {0, "x", true}, Void()},
      {"SetDTMFVolume", {5}, false},
      {"SetDTMFVolume", {}, false},
      {"GetDTMFVolume", {}, false},
      {"EnableForceInbandDTMF", {0}, false},
      {"DisableForceInbandDTMF", {0}, false},
      {"EnableForceInfoDTMF", {0}, false},
      {"DisableForceInfoDTMF", {0}, false},
      {"EnableForceRfc2833DTMF", {0}, false},
      {"DisableForceRfc2833DTMF", {0}, false},
      {"EnableEchoNoiseCancellation", {}, false},
      {"DisableEchoNoiseCancellation", {}, false},
      {"SetUserAgentSIP", {"Other/1.0"}, false},
      {"GetUserAgentSIP", {}, ""},
      {"SetSubjectSDP", {"talk"}, false},
      {"GetSubjectSDP", {}, ""},
      {"SetSessionLostTick", {30}, Void()},
      {"SetLineSpkVol", {0, 50}, false},
      {"GetLineSpkVol", {0}, 0},
      {"AddCustomHeader", {0, 0, "X-Kyt", "1"}, false},
      {"RemoveCustomHeader", {0, 0, "X-Kyt"}, false},
      {"RemoveCustomHeaderAll", {0, 0}, false},
      {"ActivateQosSIP", {46}, false},
      {"DeactivateQosSIP", {}, Void()},
      {"ActivateQosRTP", {0, 46}, false},
      {"DeactivateQosRTP", {0}, Void()},
      {"GetCountPacketLost", {0}, 0},
      {"GetSizeJitterBuffer", {0}, 0},
      {"OpenMediaSecondry", {0, 0}, false},
      {"CloseMediaSecondry", {}, false},
      {"ChangeMEDIA", {0, 0, 0}, false},
      {"ConnectCall", {0, "sip:bob@127.0.0.1", "x", 0, 0}, false},
      {"PlayAddPCM", {0, 0, 0}, false},
      {"PlayResetPCM", {0}, false},
      {"CaptureStreamPCM", {0, true}, false},
      {"GetMicVolume", {}, 0},
      {"SetMicVolume", {50}, false},
      {"GetSpkVolume", {}, 0},
      {"SetSpkVolume", {50}, false},
      {"ForwardCall", {true, "sip:carol@127.0.0.1"}, true},
      {"ForwardCall", {false, ""}, true},
      {"DisableKeepAlive", {}, Void()},
      {"UnInitialize", {}, Void()},
      // Functions without arguments ignore extra ones.
      {"GetVersionFile", {1, "two", false}, "7.0.7.3"},
      {"GetAudioInDevTotal", {0}, 1},
      {"UnInitialize", {1}, Void()},
  };
  for (const cExpectedCall& call : calls)
    EXPECT_EQ(Call(page, call.pName, call.args), call.expected)
        << call.pName << " with " << call.args.size() << " arguments";
  // None of them needs a session, so none left a code.
  EXPECT_EQ(Call(page, "GetKytObjectError"), cJsValue(0));

  cJsValue myIP = Call(page, "GetMyIP");
  ASSERT_EQ(myIP.GetType(), cJsValue::eType::kString);
  EXPECT_FALSE(myIP.GetString().empty());
}

TEST_F(ScriptFunctionTest, OperationsThatNeedASessionLeaveCodeTen) {
  cNPPage page(&m_Host);
  const std::vector<cExpectedCall> calls = {
      {"RegisterToProxy", {60}, false},
      {"OpenLine", {0, false, "", 0}, false},
      {"DialCall", {0, "200", 0, 0}, false},
      {"IsLineBusy", {0}, false},
      {"HoldLine", {0}, false},
      {"ChatAddContact", {"sip:bob@example.com"}, false},
      {"EnableKeepAlive", {30}, false},
  };
  for (const cExpectedCall& call : calls) {
    cNPPage fresh(&m_Host);
    EXPECT_EQ(Call(fresh, call.pName, call.args), call.expected) << call.pName;
    EXPECT_EQ(Call(fresh, "GetKytObjectError"), cJsValue(10)) << call.pName;
  }
  EXPECT_EQ(Call(page, "EnableDonotDisturb"), Void());
  EXPECT_EQ(Call(page, "GetKytObjectError"), cJsValue(10));
}

}  // namespace
