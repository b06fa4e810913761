#pragma once

#include <cstdint>
#include <string>

#include "plugin/KytNPAPI.h"
#include "util/cKytNoCopy.h"

class cKytSIPUserAgentLib;

// The functions a page's script can call on the plug-in element. Each name gets one browser
// identifier when the table is made; a call converts the script arguments, runs the facade
// operation and converts its answer back. Every handler checks its argument count first: a wrong
// count answers a fixed value and never reaches the facade. Main thread only.
class cFuncExp : private cKytNoCopy {
 public:
  // Keeps the browser's function table and the instance, and asks for the identifier of every
  // script function name (initobj).
  cFuncExp(NPNetscapeFuncs* pBrowser, NPP pNPInstance);

  // True when name is one of the script functions.
  bool InvokeFuncExist(NPIdentifier name) const;
  // Runs the script function called name and answers true (also when its handler refused the
  // arguments); an unknown name answers false and leaves the result untouched.
  bool InvokeFunc(cKytSIPUserAgentLib* pLib, NPIdentifier name, const NPVariant* args,
                  uint32_t argCount, NPVariant* result) const;

  // Script value conversions. A string is read for what it starts with: "12ab" is 12 and "Yes"
  // is true. Numbers given as doubles count as their integer value; void and null count as 0,
  // false and the empty text.
  static std::string VariantToSTR(const NPVariant& value);
  static int32_t VariantToINT(const NPVariant& value);
  static bool VariantToBOOL(const NPVariant& value);

  // A copy of the whole text in memory from the browser, which frees it with the variant. A null
  // text gives the empty string. False (result left alone) when the browser has no memory.
  bool StringToVariant(const char* pText, NPVariant* result) const;
  static bool StringToVariant(const NPNetscapeFuncs* pBrowser, const char* pText,
                              NPVariant* result);

  // The number of script functions.
  static uint32_t GetFuncCount();

 private:
  struct cEntry;
  static const cEntry s_Table[];

  NPNetscapeFuncs* m_pBrowser;
  NPP m_pNPInstance;

  NPIdentifier m_objGetCallId_id = nullptr;
  NPIdentifier m_objGetMicSoundLevel_id = nullptr;
  NPIdentifier m_objGetSpkSoundLevel_id = nullptr;
  NPIdentifier m_objGetAudioInDevTotal_id = nullptr;
  NPIdentifier m_objGetAudioOutDevTotal_id = nullptr;
  NPIdentifier m_objGetAudioInDevId_id = nullptr;
  NPIdentifier m_objGetAudioOutDevId_id = nullptr;
  NPIdentifier m_objGetAudioOutDevName_id = nullptr;
  NPIdentifier m_objGetAudioInDevName_id = nullptr;
  NPIdentifier m_objInitializeEx_id = nullptr;
  NPIdentifier m_objInitialize_id = nullptr;
  NPIdentifier m_objUnInitialize_id = nullptr;
  NPIdentifier m_objRegisterToProxy_id = nullptr;
  NPIdentifier m_objUnRegisterToProxy_id = nullptr;
  NPIdentifier m_objOpenLine_id = nullptr;
  NPIdentifier m_objCloseLine_id = nullptr;
  NPIdentifier m_objGetKytObjectError_id = nullptr;
  NPIdentifier m_objDialCall_id = nullptr;
  NPIdentifier m_objConnect_id = nullptr;
  NPIdentifier m_objConnectCall_id = nullptr;
  NPIdentifier m_objDisconnect_id = nullptr;
  NPIdentifier m_objAcceptCall_id = nullptr;
  NPIdentifier m_objRejectCall_id = nullptr;
  NPIdentifier m_objTransferCallEx_id = nullptr;
  NPIdentifier m_objTransferCall_id = nullptr;
  NPIdentifier m_objJoinTwoLine_id = nullptr;
  NPIdentifier m_objHoldLine_id = nullptr;
  NPIdentifier m_objUnHoldLine_id = nullptr;
  NPIdentifier m_objIsLineOpen_id = nullptr;
  NPIdentifier m_objIsLineHold_id = nullptr;
  NPIdentifier m_objIsLineBusy_id = nullptr;
  NPIdentifier m_objIsLineConnected_id = nullptr;
  NPIdentifier m_objEnableKeepAlive_id = nullptr;
  NPIdentifier m_objDisableKeepAlive_id = nullptr;
  NPIdentifier m_objDeselectAllVoiceCodec_id = nullptr;
  NPIdentifier m_objSelectAllVoiceCodec_id = nullptr;
  NPIdentifier m_objSelectVoiceCodec_id = nullptr;
  NPIdentifier m_objDeselectVoiceCodec_id = nullptr;
  NPIdentifier m_objGetMyIP_id = nullptr;
  NPIdentifier m_objGetStartMyIP_id = nullptr;
  NPIdentifier m_objGetNextMyIP_id = nullptr;
  NPIdentifier m_objDigitDTMF_id = nullptr;
  NPIdentifier m_objEnableForceInbandDTMF_id = nullptr;
  NPIdentifier m_objDisableForceInbandDTMF_id = nullptr;
  NPIdentifier m_objEnableForceInfoDTMF_id = nullptr;
  NPIdentifier m_objDisableForceInfoDTMF_id = nullptr;
  NPIdentifier m_objEnableForceRfc2833DTMF_id = nullptr;
  NPIdentifier m_objDisableForceRfc2833DTMF_id = nullptr;
  NPIdentifier m_objSetDTMFVolume_id = nullptr;
  NPIdentifier m_objGetDTMFVolume_id = nullptr;
  NPIdentifier m_objMuteMic_id = nullptr;
  NPIdentifier m_objMuteSpk_id = nullptr;
  NPIdentifier m_objGetMicVolume_id = nullptr;
  NPIdentifier m_objSetMicVolume_id = nullptr;
  NPIdentifier m_objGetSpkVolume_id = nullptr;
  NPIdentifier m_objSetSpkVolume_id = nullptr;
  NPIdentifier m_objEnableMicBoost_id = nullptr;
  NPIdentifier m_objDisableMicBoost_id = nullptr;
  NPIdentifier m_objIsMicBoostEnable_id = nullptr;
  NPIdentifier m_objEnableAGC_id = nullptr;
  NPIdentifier m_objDisableAGC_id = nullptr;
  NPIdentifier m_objEnableEchoNoiseCancellation_id = nullptr;
  NPIdentifier m_objDisableEchoNoiseCancellation_id = nullptr;
  NPIdentifier m_objIsRecording_id = nullptr;
  NPIdentifier m_objStartRecording_id = nullptr;
  NPIdentifier m_objStopRecording_id = nullptr;
  NPIdentifier m_objResetRecording_id = nullptr;
  NPIdentifier m_objSaveRecordingToWaveFile_id = nullptr;
  NPIdentifier m_objIsWaveFilePlaying_id = nullptr;
  NPIdentifier m_objPlayWaveOpen_id = nullptr;
  NPIdentifier m_objPlayWaveClose_id = nullptr;
  NPIdentifier m_objPlayWaveSkipTo_id = nullptr;
  NPIdentifier m_objPlayWaveTotalTime_id = nullptr;
  NPIdentifier m_objPlayWavePause_id = nullptr;
  NPIdentifier m_objPlayWaveStart_id = nullptr;
  NPIdentifier m_objPlayWaveStop_id = nullptr;
  NPIdentifier m_objPlayWavePosition_id = nullptr;
  NPIdentifier m_objEnableDonotDisturb_id = nullptr;
  NPIdentifier m_objDisableDonotDisturb_id = nullptr;
  NPIdentifier m_objGetOutboundCodec_id = nullptr;
  NPIdentifier m_objGetInboundCodec_id = nullptr;
  NPIdentifier m_objGetVersionFile_id = nullptr;
  NPIdentifier m_objGetVersionSDK_id = nullptr;
  NPIdentifier m_objSetSessionLostTick_id = nullptr;
  NPIdentifier m_objSetSpkSoftVolume_id = nullptr;
  NPIdentifier m_objMuteLineSPK_id = nullptr;
  NPIdentifier m_objMuteLineMIC_id = nullptr;
  NPIdentifier m_objSetLineSpkVol_id = nullptr;
  NPIdentifier m_objGetLineSpkVol_id = nullptr;
  NPIdentifier m_objSetUserAgentSIP_id = nullptr;
  NPIdentifier m_objGetUserAgentSIP_id = nullptr;
  NPIdentifier m_objSetSubjectSDP_id = nullptr;
  NPIdentifier m_objGetSubjectSDP_id = nullptr;
  NPIdentifier m_objConfAllowLine_id = nullptr;
  NPIdentifier m_objLineVoiceChannelSPK_id = nullptr;
  NPIdentifier m_objChatAddContact_id = nullptr;
  NPIdentifier m_objChatRemoveContact_id = nullptr;
  NPIdentifier m_objChatSendMessageTyping_id = nullptr;
  NPIdentifier m_objChatSendMessageText_id = nullptr;
  NPIdentifier m_objChatSetMyStatus_id = nullptr;
  NPIdentifier m_objVoiceChanger_id = nullptr;
  NPIdentifier m_objForwardCall_id = nullptr;
  NPIdentifier m_objDetectAMD_id = nullptr;
  NPIdentifier m_objPlayAddPCM_id = nullptr;
  NPIdentifier m_objPlayResetPCM_id = nullptr;
  NPIdentifier m_objCaptureStreamPCM_id = nullptr;
  NPIdentifier m_objAddCustomHeader_id = nullptr;
  NPIdentifier m_objRemoveCustomHeader_id = nullptr;
  NPIdentifier m_objRemoveCustomHeaderAll_id = nullptr;
  NPIdentifier m_objActivateQosSIP_id = nullptr;
  NPIdentifier m_objDeactivateQosSIP_id = nullptr;
  NPIdentifier m_objActivateQosRTP_id = nullptr;
  NPIdentifier m_objDeactivateQosRTP_id = nullptr;
  NPIdentifier m_objGetCountPacketLost_id = nullptr;
  NPIdentifier m_objGetSizeJitterBuffer_id = nullptr;
  NPIdentifier m_objOpenMediaSecondry_id = nullptr;
  NPIdentifier m_objCloseMediaSecondry_id = nullptr;
  NPIdentifier m_objChangeMEDIA_id = nullptr;
};
