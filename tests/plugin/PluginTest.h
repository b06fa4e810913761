#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/cJsValue.h"
#include "host/cNPHost.h"
#include "host/cNPPage.h"

// Every test loads the built plug-in through our host and uses it as a page would.
class PluginTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(m_Host.Load(KYT_PLUGIN_PATH)) << m_Host.GetLastError(); }

  // Whatever a test did, once its pages are gone nothing may be left over.
  void TearDown() override {
    EXPECT_EQ(m_Host.GetLiveObjectCount(), 0u);
    EXPECT_EQ(m_Host.GetLiveMemoryCount(), 0u);
    EXPECT_EQ(m_Host.GetFaultCount(), 0u);
    EXPECT_EQ(m_Host.GetForcedDeallocationCount(), 0u);
  }

  // A script call that the plug-in must accept.
  static cJsValue Call(cNPPage& page, const std::string& name,
                       const std::vector<cJsValue>& args = {}) {
    cJsValue result;
    EXPECT_TRUE(page.Invoke(name, args, &result)) << name;
    return result;
  }

  cNPHost m_Host;
};

// The script function names, in the order the plug-in's table lists them.
inline constexpr const char* kScriptFunctionNames[] = {
    "GetCallId",
    "GetMicSoundLevel",
    "GetSpkSoundLevel",
    "GetAudioInDevTotal",
    "GetAudioOutDevTotal",
    "GetAudioInDevId",
    "GetAudioOutDevId",
    "GetAudioOutDevName",
    "GetAudioInDevName",
    "InitializeEx",
    "Initialize",
    "UnInitialize",
    "RegisterToProxy",
    "UnRegisterToProxy",
    "OpenLine",
    "CloseLine",
    "GetKytObjectError",
    "DialCall",
    "Connect",
    "ConnectCall",
    "Disconnect",
    "AcceptCall",
    "RejectCall",
    "TransferCallEx",
    "TransferCall",
    "JoinTwoLine",
    "HoldLine",
    "UnHoldLine",
    "IsLineOpen",
    "IsLineHold",
    "IsLineBusy",
    "IsLineConnected",
    "EnableKeepAlive",
    "DisableKeepAlive",
    "DeselectAllVoiceCodec",
    "SelectAllVoiceCodec",
    "SelectVoiceCodec",
    "DeselectVoiceCodec",
    "GetMyIP",
    "GetStartMyIP",
    "GetNextMyIP",
    "DigitDTMF",
    "EnableForceInbandDTMF",
    "DisableForceInbandDTMF",
    "EnableForceInfoDTMF",
    "DisableForceInfoDTMF",
    "EnableForceRfc2833DTMF",
    "DisableForceRfc2833DTMF",
    "SetDTMFVolume",
    "GetDTMFVolume",
    "MuteMic",
    "MuteSpk",
    "GetMicVolume",
    "SetMicVolume",
    "GetSpkVolume",
    "SetSpkVolume",
    "EnableMicBoost",
    "DisableMicBoost",
    "IsMicBoostEnable",
    "EnableAGC",
    "DisableAGC",
    "EnableEchoNoiseCancellation",
    "DisableEchoNoiseCancellation",
    "IsRecording",
    "StartRecording",
    "StopRecording",
    "ResetRecording",
    "SaveRecordingToWaveFile",
    "IsWaveFilePlaying",
    "PlayWaveOpen",
    "PlayWaveClose",
    "PlayWaveSkipTo",
    "PlayWaveTotalTime",
    "PlayWavePause",
    "PlayWaveStart",
    "PlayWaveStop",
    "PlayWavePosition",
    "EnableDonotDisturb",
    "DisableDonotDisturb",
    "GetOutboundCodec",
    "GetInboundCodec",
    "GetVersionFile",
    "GetVersionSDK",
    "SetSessionLostTick",
    "SetSpkSoftVolume",
    "MuteLineSPK",
    "MuteLineMIC",
    "SetLineSpkVol",
    "GetLineSpkVol",
    "SetUserAgentSIP",
    "GetUserAgentSIP",
    "SetSubjectSDP",
    "GetSubjectSDP",
    "ConfAllowLine",
    "LineVoiceChannelSPK",
    "ChatAddContact",
    "ChatRemoveContact",
    "ChatSendMessageTyping",
    "ChatSendMessageText",
    "ChatSetMyStatus",
    "VoiceChanger",
    "ForwardCall",
    "DetectAMD",
    "PlayAddPCM",
    "PlayResetPCM",
    "CaptureStreamPCM",
    "AddCustomHeader",
    "RemoveCustomHeader",
    "RemoveCustomHeaderAll",
    "ActivateQosSIP",
    "DeactivateQosSIP",
    "ActivateQosRTP",
    "DeactivateQosRTP",
    "GetCountPacketLost",
    "GetSizeJitterBuffer",
    "OpenMediaSecondry",
    "CloseMediaSecondry",
    "ChangeMEDIA",
};

// The names of the page's event functions.
inline constexpr const char* kEventNames[] = {
    "OnTryingToRegister",
    "OnSuccessToRegister",
    "OnFailToRegister",
    "OnFailToRegisterEx",
    "OnTryingToReRegister",
    "OnSuccessToReRegister",
    "OnFailToReRegister",
    "OnFailToReRegisterEx",
    "OnTryingToUnRegister",
    "OnSuccessToUnRegister",
    "OnFailToUnRegister",
    "OnConnecting",
    "OnSuccessToConnect",
    "OnFailToConnect",
    "OnDisconnectCall",
    "OnIncomingCall",
    "OnIncomingCallRingingStart",
    "OnIncomingCallRingingStop",
    "OnProvisionalResponse",
    "OnRedirectionResponse",
    "OnRequestFailureResponse",
    "OnServerFailureResponse",
    "OnGeneralFailureResponse",
    "OnTryingToHold",
    "OnSuccessToHold",
    "OnFailToHold",
    "OnTryingToUnHold",
    "OnSuccessToUnHold",
    "OnFailToUnHold",
    "OnCallTransferAccepted",
    "OnFailToTransfer",
    "OnIncomingDiagnostic",
    "OnOutgoingDiagnostic",
    "OnDetectedAMD",
    "OnChatContactStatus",
    "OnChatSendMsgTextSuccess",
    "OnChatSendMsgTextFail",
    "OnChatSendMsgTypingSuccess",
    "OnChatSendMsgTypingFail",
    "OnChatRecvMsgText",
    "OnChatRecvMsgTypingStart",
    "OnChatRecvMsgTypingStop",
    "OnPlayWaveDone",
    "OnDTMFDigit",
    "OnMsgNOTIFY",
    "OnVoiceMailMsg",
    "OnSessionLostEvent",
    "OnVoiceStreamPCM",
};
