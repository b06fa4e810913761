#include "plugin/cFuncExp.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <tuple>
#include <utility>

#include "useragent/cKytSIPUserAgentLib.h"

namespace {

using Lib = cKytSIPUserAgentLib;
using tHandler = void (*)(const cFuncExp& funcs, Lib* pLib, const NPVariant* args,
                          uint32_t argCount, NPVariant* result);

// What a handler answers when it is called with the wrong number of arguments.
enum class eWrong { kFalse, kMinusOne, kZero, kEmptyText, kNothing };
// How the facade's answer reaches the script when it is not simply converted by its type.
enum class eAnswer { kAsReturned, kInteger, kNone };

int32_t ClampToInt(double value) {
  if (std::isnan(value)) return 0;
  if (value >= static_cast<double>(std::numeric_limits<int32_t>::max()))
    return std::numeric_limits<int32_t>::max();
  if (value <= static_cast<double>(std::numeric_limits<int32_t>::min()))
    return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// One converted argument, typed after the facade operation's parameter.
template <typename T>
struct cArg;

template <>
struct cArg<int32_t> {
  explicit cArg(const NPVariant& v) : m_nValue(cFuncExp::VariantToINT(v)) {}
  int32_t Get() const { return m_nValue; }
  bool IsWhole() const { return true; }
  int32_t m_nValue;
};

template <>
struct cArg<bool> {
  explicit cArg(const NPVariant& v) : m_bValue(cFuncExp::VariantToBOOL(v)) {}
  bool Get() const { return m_bValue; }
  bool IsWhole() const { return true; }
  bool m_bValue;
};

template <>
struct cArg<const char*> {
  explicit cArg(const NPVariant& v) : m_Text(cFuncExp::VariantToSTR(v)) {}
  const char* Get() const { return m_Text.c_str(); }
  // A NUL inside the text would cut it short where it crosses into the facade.
  bool IsWhole() const { return m_Text.find('\0') == std::string::npos; }
  std::string m_Text;
};

void SetAnswer(const cFuncExp&, bool bValue, NPVariant* result) {
  BOOLEAN_TO_NPVARIANT(bValue, *result);
}
void SetAnswer(const cFuncExp&, int32_t nValue, NPVariant* result) {
  INT32_TO_NPVARIANT(nValue, *result);
}
void SetAnswer(const cFuncExp& funcs, const char* pText, NPVariant* result) {
  funcs.StringToVariant(pText, result);
}

void SetWrongCountAnswer(const cFuncExp& funcs, eWrong wrong, NPVariant* result) {
  switch (wrong) {
    case eWrong::kFalse:
      BOOLEAN_TO_NPVARIANT(false, *result);
      break;
    case eWrong::kMinusOne:
      INT32_TO_NPVARIANT(-1, *result);
      break;
    case eWrong::kZero:
      INT32_TO_NPVARIANT(0, *result);
      break;
    case eWrong::kEmptyText:
      funcs.StringToVariant("", result);
      break;
    case eWrong::kNothing:
      break;
  }
}

// The parameters of a facade operation, as converted arguments.
template <typename Op>
struct cOpTraits;
template <typename R, typename... P>
struct cOpTraits<R (Lib::*)(P...)> {
  using tArgs = std::tuple<cArg<P>...>;
  static constexpr uint32_t kCount = sizeof...(P);
};
template <typename R, typename... P>
struct cOpTraits<R (Lib::*)(P...) const> : cOpTraits<R (Lib::*)(P...)> {};

// The script arguments converted to the parameter types of a facade operation.
template <auto Op, size_t... I>
auto Convert(const NPVariant* args, std::index_sequence<I...>) {
  using tArgs = typename cOpTraits<decltype(Op)>::tArgs;
  return tArgs{std::tuple_element_t<I, tArgs>(args[I])...};
}

// The handler of one script function that lands on the facade operation Op. Operations without
// parameters ignore extra arguments; the others need exactly their parameter count.
template <auto Op, eWrong Wrong = eWrong::kFalse, eAnswer Answer = eAnswer::kAsReturned>
void Handle(const cFuncExp& funcs, Lib* pLib, const NPVariant* args, uint32_t argCount,
            NPVariant* result) {
  constexpr uint32_t kCount = cOpTraits<decltype(Op)>::kCount;
  if (kCount > 0 && argCount != kCount) {
    SetWrongCountAnswer(funcs, Wrong, result);
    return;
  }
  const auto converted = Convert<Op>(args, std::make_index_sequence<kCount>());
  if (!std::apply([](const auto&... arg) { return (arg.IsWhole() && ...); }, converted)) {
    pLib->RefuseText();
    SetWrongCountAnswer(funcs, Wrong, result);
    return;
  }
  auto call = [&] {
    return std::apply([pLib](const auto&... arg) { return (pLib->*Op)(arg.Get()...); }, converted);
  };
  using tResult = decltype(call());
  if constexpr (std::is_void_v<tResult> || Answer == eAnswer::kNone) {
    call();
  } else if constexpr (Answer == eAnswer::kInteger) {
    SetAnswer(funcs, static_cast<int32_t>(call()), result);
  } else {
    SetAnswer(funcs, call(), result);
  }
}

void HandleNothing(const cFuncExp&, Lib*, const NPVariant*, uint32_t, NPVariant*) {}

void HandleAlwaysFalse(const cFuncExp&, Lib*, const NPVariant*, uint32_t, NPVariant* result) {
  BOOLEAN_TO_NPVARIANT(false, *result);
}

// Reads only its first argument; without one there is nothing to set.
void HandleEnableAGC(const cFuncExp&, Lib* pLib, const NPVariant* args, uint32_t argCount,
                     NPVariant* result) {
  BOOLEAN_TO_NPVARIANT(argCount >= 1 && pLib->EnableAGC(cFuncExp::VariantToINT(args[0])), *result);
}

// The facade has no text here, which the script sees as false.
void HandleGetStartMyIP(const cFuncExp& funcs, Lib* pLib, const NPVariant*, uint32_t,
                        NPVariant* result) {
  const char* pText = pLib->GetStartMyIP();
  if (pText)
    funcs.StringToVariant(pText, result);
  else
    BOOLEAN_TO_NPVARIANT(false, *result);
}

// The volume argument is read as a flag.
void HandleSetLineSpkVol(const cFuncExp&, Lib* pLib, const NPVariant* args, uint32_t argCount,
                         NPVariant* result) {
  bool bAnswer = argCount == 2 && pLib->SetLineSpkVol(cFuncExp::VariantToINT(args[0]),
                                                      cFuncExp::VariantToBOOL(args[1]));
  BOOLEAN_TO_NPVARIANT(bAnswer, *result);
}

}  // namespace

struct cFuncExp::cEntry {
  const char* pName;
  NPIdentifier cFuncExp::*pId;
  tHandler pHandler;
};

// clang-format off
const cFuncExp::cEntry cFuncExp::s_Table[] = {
    {"GetCallId", &cFuncExp::m_objGetCallId_id, HandleNothing},
    {"GetMicSoundLevel", &cFuncExp::m_objGetMicSoundLevel_id, Handle<&Lib::GetMicSoundLevel>},
    {"GetSpkSoundLevel", &cFuncExp::m_objGetSpkSoundLevel_id, Handle<&Lib::GetSpkSoundLevel>},
    {"GetAudioInDevTotal", &cFuncExp::m_objGetAudioInDevTotal_id, Handle<&Lib::GetAudioInDevTotal>},
    {"GetAudioOutDevTotal", &cFuncExp::m_objGetAudioOutDevTotal_id, Handle<&Lib::GetAudioOutDevTotal>},
    {"GetAudioInDevId", &cFuncExp::m_objGetAudioInDevId_id, Handle<&Lib::GetAudioInDevId, eWrong::kMinusOne>},
    {"GetAudioOutDevId", &cFuncExp::m_objGetAudioOutDevId_id, Handle<&Lib::GetAudioOutDevId, eWrong::kMinusOne>},
    {"GetAudioOutDevName", &cFuncExp::m_objGetAudioOutDevName_id, Handle<&Lib::GetAudioOutDevName, eWrong::kEmptyText>},
    {"GetAudioInDevName", &cFuncExp::m_objGetAudioInDevName_id, Handle<&Lib::GetAudioInDevName, eWrong::kEmptyText>},
    {"InitializeEx", &cFuncExp::m_objInitializeEx_id, Handle<&Lib::InitializeEx>},
    {"Initialize", &cFuncExp::m_objInitialize_id, Handle<&Lib::Initialize>},
    {"UnInitialize", &cFuncExp::m_objUnInitialize_id, Handle<&Lib::UnInitialize>},
    {"RegisterToProxy", &cFuncExp::m_objRegisterToProxy_id, Handle<&Lib::RegisterToProxy>},
    {"UnRegisterToProxy", &cFuncExp::m_objUnRegisterToProxy_id, Handle<&Lib::UnRegisterToProxy>},
    {"OpenLine", &cFuncExp::m_objOpenLine_id, Handle<&Lib::OpenLine>},
    {"CloseLine", &cFuncExp::m_objCloseLine_id, Handle<&Lib::CloseLine>},
    {"GetKytObjectError", &cFuncExp::m_objGetKytObjectError_id, Handle<&Lib::GetKytObjectError>},
    {"DialCall", &cFuncExp::m_objDialCall_id, Handle<&Lib::DialCall>},
    {"Connect", &cFuncExp::m_objConnect_id, Handle<&Lib::Connect>},
    {"ConnectCall", &cFuncExp::m_objConnectCall_id, Handle<&Lib::ConnectCall>},
    {"Disconnect", &cFuncExp::m_objDisconnect_id, Handle<&Lib::Disconnect>},
    {"AcceptCall", &cFuncExp::m_objAcceptCall_id, Handle<&Lib::AcceptCall>},
    {"RejectCall", &cFuncExp::m_objRejectCall_id, Handle<&Lib::RejectCall>},
    {"TransferCallEx", &cFuncExp::m_objTransferCallEx_id, Handle<&Lib::TransferCallEx>},
    {"TransferCall", &cFuncExp::m_objTransferCall_id, Handle<&Lib::TransferCall>},
    {"JoinTwoLine", &cFuncExp::m_objJoinTwoLine_id, Handle<&Lib::JoinTwoLine>},
    {"HoldLine", &cFuncExp::m_objHoldLine_id, Handle<&Lib::HoldLine>},
    {"UnHoldLine", &cFuncExp::m_objUnHoldLine_id, Handle<&Lib::UnHoldLine>},
    {"IsLineOpen", &cFuncExp::m_objIsLineOpen_id, Handle<&Lib::IsLineOpen>},
    {"IsLineHold", &cFuncExp::m_objIsLineHold_id, Handle<&Lib::IsLineHold>},
    {"IsLineBusy", &cFuncExp::m_objIsLineBusy_id, Handle<&Lib::IsLineBusy>},
    {"IsLineConnected", &cFuncExp::m_objIsLineConnected_id, Handle<&Lib::IsLineConnected, eWrong::kMinusOne, eAnswer::kInteger>},
    {"EnableKeepAlive", &cFuncExp::m_objEnableKeepAlive_id, Handle<&Lib::EnableKeepAlive>},
    {"DisableKeepAlive", &cFuncExp::m_objDisableKeepAlive_id, Handle<&Lib::DisableKeepAlive>},
    {"DeselectAllVoiceCodec", &cFuncExp::m_objDeselectAllVoiceCodec_id, Handle<&Lib::DeselectAllVoiceCodec>},
    {"SelectAllVoiceCodec", &cFuncExp::m_objSelectAllVoiceCodec_id, Handle<&Lib::SelectAllVoiceCodec>},
    {"SelectVoiceCodec", &cFuncExp::m_objSelectVoiceCodec_id, Handle<&Lib::SelectVoiceCodec>},
    {"DeselectVoiceCodec", &cFuncExp::m_objDeselectVoiceCodec_id, Handle<&Lib::DeselectVoiceCodec>},
    {"GetMyIP", &cFuncExp::m_objGetMyIP_id, Handle<&Lib::GetMyIP>},
    {"GetStartMyIP", &cFuncExp::m_objGetStartMyIP_id, HandleGetStartMyIP},
    {"GetNextMyIP", &cFuncExp::m_objGetNextMyIP_id, Handle<&Lib::GetNextMyIP>},
    {"DigitDTMF", &cFuncExp::m_objDigitDTMF_id, Handle<&Lib::DigitDTMF>},
    {"EnableForceInbandDTMF", &cFuncExp::m_objEnableForceInbandDTMF_id, Handle<&Lib::EnableForceInbandDTMF>},
    {"DisableForceInbandDTMF", &cFuncExp::m_objDisableForceInbandDTMF_id, Handle<&Lib::DisableForceInbandDTMF>},
    {"EnableForceInfoDTMF", &cFuncExp::m_objEnableForceInfoDTMF_id, Handle<&Lib::EnableForceInfoDTMF>},
    {"DisableForceInfoDTMF", &cFuncExp::m_objDisableForceInfoDTMF_id, Handle<&Lib::DisableForceInfoDTMF>},
    {"EnableForceRfc2833DTMF", &cFuncExp::m_objEnableForceRfc2833DTMF_id, Handle<&Lib::EnableForceRfc2833DTMF>},
    {"DisableForceRfc2833DTMF", &cFuncExp::m_objDisableForceRfc2833DTMF_id, Handle<&Lib::DisableForceRfc2833DTMF>},
    {"SetDTMFVolume", &cFuncExp::m_objSetDTMFVolume_id, HandleAlwaysFalse},
    {"GetDTMFVolume", &cFuncExp::m_objGetDTMFVolume_id, HandleAlwaysFalse},
    {"MuteMic", &cFuncExp::m_objMuteMic_id, Handle<&Lib::MuteMic>},
    {"MuteSpk", &cFuncExp::m_objMuteSpk_id, Handle<&Lib::MuteSpk>},
    {"GetMicVolume", &cFuncExp::m_objGetMicVolume_id, Handle<&Lib::GetMicVolume>},
    {"SetMicVolume", &cFuncExp::m_objSetMicVolume_id, Handle<&Lib::SetMicVolume>},
    {"GetSpkVolume", &cFuncExp::m_objGetSpkVolume_id, Handle<&Lib::GetSpkVolume>},
    {"SetSpkVolume", &cFuncExp::m_objSetSpkVolume_id, Handle<&Lib::SetSpkVolume>},
    {"EnableMicBoost", &cFuncExp::m_objEnableMicBoost_id, Handle<&Lib::EnableMicBoost>},
    {"DisableMicBoost", &cFuncExp::m_objDisableMicBoost_id, Handle<&Lib::DisableMicBoost>},
    {"IsMicBoostEnable", &cFuncExp::m_objIsMicBoostEnable_id, Handle<&Lib::IsMicBoostEnable>},
    {"EnableAGC", &cFuncExp::m_objEnableAGC_id, HandleEnableAGC},
    {"DisableAGC", &cFuncExp::m_objDisableAGC_id, Handle<&Lib::DisableAGC>},
    {"EnableEchoNoiseCancellation", &cFuncExp::m_objEnableEchoNoiseCancellation_id, Handle<&Lib::EnableEchoNoiseCancellation>},
    {"DisableEchoNoiseCancellation", &cFuncExp::m_objDisableEchoNoiseCancellation_id, Handle<&Lib::DisableEchoNoiseCancellation>},
    {"IsRecording", &cFuncExp::m_objIsRecording_id, Handle<&Lib::IsRecording>},
    {"StartRecording", &cFuncExp::m_objStartRecording_id, Handle<&Lib::StartRecording>},
    {"StopRecording", &cFuncExp::m_objStopRecording_id, Handle<&Lib::StopRecording>},
    {"ResetRecording", &cFuncExp::m_objResetRecording_id, Handle<&Lib::ResetRecording>},
    {"SaveRecordingToWaveFile", &cFuncExp::m_objSaveRecordingToWaveFile_id, Handle<&Lib::SaveRecordingToWaveFile>},
    {"IsWaveFilePlaying", &cFuncExp::m_objIsWaveFilePlaying_id, Handle<&Lib::IsWaveFilePlaying>},
    {"PlayWaveOpen", &cFuncExp::m_objPlayWaveOpen_id, Handle<&Lib::PlayWaveOpen>},
    {"PlayWaveClose", &cFuncExp::m_objPlayWaveClose_id, Handle<&Lib::PlayWaveClose>},
    {"PlayWaveSkipTo", &cFuncExp::m_objPlayWaveSkipTo_id, Handle<&Lib::PlayWaveSkipTo>},
    {"PlayWaveTotalTime", &cFuncExp::m_objPlayWaveTotalTime_id, Handle<&Lib::PlayWaveTotalTime>},
    {"PlayWavePause", &cFuncExp::m_objPlayWavePause_id, Handle<&Lib::PlayWavePause>},
    {"PlayWaveStart", &cFuncExp::m_objPlayWaveStart_id, Handle<&Lib::PlayWaveStart>},
    {"PlayWaveStop", &cFuncExp::m_objPlayWaveStop_id, Handle<&Lib::PlayWaveStop>},
    {"PlayWavePosition", &cFuncExp::m_objPlayWavePosition_id, Handle<&Lib::PlayWavePosition>},
    {"EnableDonotDisturb", &cFuncExp::m_objEnableDonotDisturb_id, Handle<&Lib::EnableDonotDisturb>},
    {"DisableDonotDisturb", &cFuncExp::m_objDisableDonotDisturb_id, Handle<&Lib::DisableDonotDisturb>},
    {"GetOutboundCodec", &cFuncExp::m_objGetOutboundCodec_id, Handle<&Lib::GetOutboundCodec>},
    {"GetInboundCodec", &cFuncExp::m_objGetInboundCodec_id, Handle<&Lib::GetInboundCodec>},
    {"GetVersionFile", &cFuncExp::m_objGetVersionFile_id, Handle<&Lib::GetVersionFile>},
    {"GetVersionSDK", &cFuncExp::m_objGetVersionSDK_id, Handle<&Lib::GetVersionSDK>},
    {"SetSessionLostTick", &cFuncExp::m_objSetSessionLostTick_id, Handle<&Lib::SetSessionLostTick>},
    {"SetSpkSoftVolume", &cFuncExp::m_objSetSpkSoftVolume_id, Handle<&Lib::SetSpkSoftVolume, eWrong::kFalse, eAnswer::kNone>},
    {"MuteLineSPK", &cFuncExp::m_objMuteLineSPK_id, Handle<&Lib::MuteLineSPK>},
    {"MuteLineMIC", &cFuncExp::m_objMuteLineMIC_id, Handle<&Lib::MuteLineMIC>},
    {"SetLineSpkVol", &cFuncExp::m_objSetLineSpkVol_id, HandleSetLineSpkVol},
    {"GetLineSpkVol", &cFuncExp::m_objGetLineSpkVol_id, Handle<&Lib::GetLineSpkVol>},
    {"SetUserAgentSIP", &cFuncExp::m_objSetUserAgentSIP_id, Handle<&Lib::SetUserAgentSIP>},
    {"GetUserAgentSIP", &cFuncExp::m_objGetUserAgentSIP_id, Handle<&Lib::GetUserAgentSIP>},
    {"SetSubjectSDP", &cFuncExp::m_objSetSubjectSDP_id, Handle<&Lib::SetSubjectSDP>},
    {"GetSubjectSDP", &cFuncExp::m_objGetSubjectSDP_id, Handle<&Lib::GetSubjectSDP>},
    {"ConfAllowLine", &cFuncExp::m_objConfAllowLine_id, Handle<&Lib::ConfAllowLine>},
    {"LineVoiceChannelSPK", &cFuncExp::m_objLineVoiceChannelSPK_id, Handle<&Lib::LineVoiceChannelSPK>},
    {"ChatAddContact", &cFuncExp::m_objChatAddContact_id, Handle<&Lib::ChatAddContact>},
    {"ChatRemoveContact", &cFuncExp::m_objChatRemoveContact_id, Handle<&Lib::ChatRemoveContact>},
    {"ChatSendMessageTyping", &cFuncExp::m_objChatSendMessageTyping_id, Handle<&Lib::ChatSendMessageTyping>},
    {"ChatSendMessageText", &cFuncExp::m_objChatSendMessageText_id, Handle<&Lib::ChatSendMessageText>},
    {"ChatSetMyStatus", &cFuncExp::m_objChatSetMyStatus_id, Handle<&Lib::ChatSetMyStatus>},
    {"VoiceChanger", &cFuncExp::m_objVoiceChanger_id, Handle<&Lib::VoiceChanger>},
    {"ForwardCall", &cFuncExp::m_objForwardCall_id, Handle<&Lib::ForwardCall>},
    {"DetectAMD", &cFuncExp::m_objDetectAMD_id, Handle<&Lib::DetectAMD>},
    {"PlayAddPCM", &cFuncExp::m_objPlayAddPCM_id, Handle<&Lib::PlayAddPCM>},
    {"PlayResetPCM", &cFuncExp::m_objPlayResetPCM_id, Handle<&Lib::PlayResetPCM>},
    {"CaptureStreamPCM", &cFuncExp::m_objCaptureStreamPCM_id, Handle<&Lib::CaptureStreamPCM>},
    {"AddCustomHeader", &cFuncExp::m_objAddCustomHeader_id, Handle<&Lib::AddCustomHeader>},
    {"RemoveCustomHeader", &cFuncExp::m_objRemoveCustomHeader_id, Handle<&Lib::RemoveCustomHeader>},
    {"RemoveCustomHeaderAll", &cFuncExp::m_objRemoveCustomHeaderAll_id, Handle<&Lib::RemoveCustomHeaderAll>},
    {"ActivateQosSIP", &cFuncExp::m_objActivateQosSIP_id, Handle<&Lib::ActivateQosSIP>},
    {"DeactivateQosSIP", &cFuncExp::m_objDeactivateQosSIP_id, Handle<&Lib::DeactivateQosSIP>},
    {"ActivateQosRTP", &cFuncExp::m_objActivateQosRTP_id, Handle<&Lib::ActivateQosRTP>},
    {"DeactivateQosRTP", &cFuncExp::m_objDeactivateQosRTP_id, Handle<&Lib::DeactivateQosRTP, eWrong::kNothing>},
    {"GetCountPacketLost", &cFuncExp::m_objGetCountPacketLost_id, Handle<&Lib::GetCountPacketLost, eWrong::kZero>},
    {"GetSizeJitterBuffer", &cFuncExp::m_objGetSizeJitterBuffer_id, Handle<&Lib::GetSizeJitterBuffer, eWrong::kZero>},
    {"OpenMediaSecondry", &cFuncExp::m_objOpenMediaSecondry_id, Handle<&Lib::OpenMediaSecondry>},
    {"CloseMediaSecondry", &cFuncExp::m_objCloseMediaSecondry_id, Handle<&Lib::CloseMediaSecondry>},
    {"ChangeMEDIA", &cFuncExp::m_objChangeMEDIA_id, Handle<&Lib::ChangeMEDIA>},
};
// clang-format on

cFuncExp::cFuncExp(NPNetscapeFuncs* pBrowser, NPP pNPInstance)
    : m_pBrowser(pBrowser), m_pNPInstance(pNPInstance) {
  for (const cEntry& entry : s_Table)
    this->*entry.pId = m_pBrowser->getstringidentifier(entry.pName);
}

uint32_t cFuncExp::GetFuncCount() { return static_cast<uint32_t>(std::size(s_Table)); }

bool cFuncExp::InvokeFuncExist(NPIdentifier name) const {
  if (!name) return false;
  for (const cEntry& entry : s_Table)
    if (this->*entry.pId == name) return true;
  return false;
}

bool cFuncExp::InvokeFunc(cKytSIPUserAgentLib* pLib, NPIdentifier name, const NPVariant* args,
                          uint32_t argCount, NPVariant* result) const {
  if (!name || !pLib || !result || (argCount > 0 && !args)) return false;
  for (const cEntry& entry : s_Table) {
    if (this->*entry.pId == name) {
      entry.pHandler(*this, pLib, args, argCount, result);
      return true;
    }
  }
  return false;
}

std::string cFuncExp::VariantToSTR(const NPVariant& value) {
  switch (value.type) {
    case NPVariantType_String: {
      const NPString& s = value.value.stringValue;
      if (!s.UTF8Characters) return {};
      return std::string(s.UTF8Characters, s.UTF8Length);
    }
    case NPVariantType_Int32:
      return std::to_string(value.value.intValue);
    case NPVariantType_Double: {
      char buffer[64];
      auto [end, ec] = std::to_chars(buffer, buffer + sizeof(buffer), value.value.doubleValue);
      return ec == std::errc() ? std::string(buffer, end) : std::string();
    }
    case NPVariantType_Bool:
      return value.value.boolValue ? "true" : "false";
    default:
      return {};
  }
}

int32_t cFuncExp::VariantToINT(const NPVariant& value) {
  switch (value.type) {
    case NPVariantType_Int32:
      return value.value.intValue;
    case NPVariantType_Double:
      return ClampToInt(value.value.doubleValue);
    case NPVariantType_Bool:
      return value.value.boolValue ? 1 : 0;
    case NPVariantType_String: {
      const NPString& s = value.value.stringValue;
      const char* p = s.UTF8Characters;
      const char* end = p ? p + s.UTF8Length : p;
      while (p < end && IsSpace(*p)) ++p;
      bool bNegative = false;
      if (p < end && (*p == '+' || *p == '-')) bNegative = *p++ == '-';
      int64_t nValue = 0;
      // Stop growing once past the 32-bit range; the sign and clamp come afterwards.
      for (; p < end && *p >= '0' && *p <= '9'; ++p)
        if (nValue <= std::numeric_limits<int32_t>::max()) nValue = nValue * 10 + (*p - '0');
      if (bNegative) nValue = -nValue;
      if (nValue > std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
      if (nValue < std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
      return static_cast<int32_t>(nValue);
    }
    default:
      return 0;
  }
}

bool cFuncExp::VariantToBOOL(const NPVariant& value) {
  switch (value.type) {
    case NPVariantType_Bool:
      return value.value.boolValue;
    case NPVariantType_Int32:
    case NPVariantType_Double:
      return (VariantToINT(value) & 1) != 0;
    case NPVariantType_String: {
      const NPString& s = value.value.stringValue;
      const char* p = s.UTF8Characters;
      const char* end = p ? p + s.UTF8Length : p;
      while (p < end && IsSpace(*p)) ++p;
      if (p < end && (*p == '+' || *p == '-')) ++p;
      while (p < end && *p == '0') ++p;
      if (p == end) return false;
      return *p == 'Y' || *p == 'y' || *p == 'T' || *p == 't' || (*p >= '1' && *p <= '9');
    }
    default:
      return false;
  }
}

bool cFuncExp::StringToVariant(const char* pText, NPVariant* result) const {
  return StringToVariant(m_pBrowser, pText, result);
}

bool cFuncExp::StringToVariant(const NPNetscapeFuncs* pBrowser, const char* pText,
                               NPVariant* result) {
  if (!pText) pText = "";
  size_t nLength = std::strlen(pText);
  if (nLength > std::numeric_limits<uint32_t>::max() - 10) return false;
  auto* pBuffer = static_cast<char*>(pBrowser->memalloc(static_cast<uint32_t>(nLength + 10)));
  if (!pBuffer) return false;
  std::memset(pBuffer, 0, nLength + 10);
  std::memcpy(pBuffer, pText, nLength);
  STRINGN_TO_NPVARIANT(pBuffer, nLength, *result);
  return true;
}
