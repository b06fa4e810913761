#include "useragent/cKytSIPUserAgentLib.h"

#include <cstring>
#include <string>

#include "KytRTP/cKytRTP.h"
#include "audio/cVirtualAudioBackend.h"
#include "useragent/cKytSIPUserAgentObject.h"
#include "util/cKytSTR.h"

cKytSIPUserAgentLib::cKytSIPUserAgentLib(cMainLoop* pMainLoop)
    : m_pKytMainObj(std::make_unique<cKytSIPUserAgentObject>(this, pMainLoop)) {}

cKytSIPUserAgentLib::~cKytSIPUserAgentLib() = default;

bool cKytSIPUserAgentLib::UseVirtualSoundDevice(const char* pMicWave, const char* pSpeakerWave) {
  return m_pKytMainObj->GetKytRTPLib()->SetAudioBackend(std::make_unique<cVirtualAudioBackend>(
      std::string(pMicWave ? pMicWave : ""), std::string(pSpeakerWave ? pSpeakerWave : "")));
}

bool cKytSIPUserAgentLib::SetSrtpMode(const char* pMode) {
  const cKytSTR mode(pMode ? pMode : "");
  if (!mode.CompareNoCaseTo("optional") && !mode.CompareNoCaseTo("mandatory")) return false;
  m_pKytMainObj->SetSrtpMandatory(mode.CompareNoCaseTo("mandatory"));
  return true;
}

bool cKytSIPUserAgentLib::Initialize(bool bBindToListenIP, const char* pListenIP,
                                     int32_t nListenPort, const char* pFromURI,
                                     const char* pOutboundProxy, const char* pProxySIP,
                                     const char* pLoginId, const char* pLoginPwd,
                                     bool /*bUseSoundDevice*/, int32_t nTotalLine) {
  return m_pKytMainObj->Init(bBindToListenIP, pListenIP, nListenPort, pFromURI, pOutboundProxy,
                             pProxySIP, pLoginId, pLoginPwd, nTotalLine);
}

bool cKytSIPUserAgentLib::InitializeEx(bool bBindToListenIP, const char* pListenIP,
                                       int32_t nListenPort, const char* pUserName,
                                       const char* pLoginId, const char* pLoginPwd,
                                       const char* pDisplayName, const char* pDomainRealm,
                                       const char* pProxySIP, const char* pOutboundProxy,
                                       bool /*bUseSoundDevice*/, int32_t nTotalLine) {
  return m_pKytMainObj->InitEx(bBindToListenIP, pListenIP, nListenPort, pUserName, pLoginId,
                               pLoginPwd, pDisplayName, pDomainRealm, pProxySIP, pOutboundProxy,
                               nTotalLine);
}

bool cKytSIPUserAgentLib::RefuseText() { return m_pKytMainObj->RefuseText(); }

void cKytSIPUserAgentLib::UnInitialize() { m_pKytMainObj->UnInit(); }

int32_t cKytSIPUserAgentLib::GetKytObjectError() const {
  return m_pKytMainObj->GetKytObjectError();
}

bool cKytSIPUserAgentLib::RegisterToProxy(int32_t nExpires) {
  return m_pKytMainObj->RegisterToProxy(nExpires);
}

bool cKytSIPUserAgentLib::UnRegisterToProxy() { return m_pKytMainObj->UnRegisterToProxy(); }

bool cKytSIPUserAgentLib::EnableKeepAlive(int32_t nSeconds) {
  return m_pKytMainObj->EnableKeepAlive(nSeconds);
}

void cKytSIPUserAgentLib::DisableKeepAlive() { m_pKytMainObj->DisableKeepAlive(); }

bool cKytSIPUserAgentLib::OpenLine(int32_t nLine, bool bBindToIP, const char* pIP, int32_t nPort) {
  return m_pKytMainObj->OpenLine(nLine, bBindToIP, pIP, nPort);
}

bool cKytSIPUserAgentLib::CloseLine(int32_t nLine) { return m_pKytMainObj->CloseLine(nLine); }

bool cKytSIPUserAgentLib::DialCall(int32_t nLine, const char* pNumber, int32_t nInputDevice,
                                   int32_t nOutputDevice) {
  return m_pKytMainObj->DialCall(nLine, pNumber, nInputDevice, nOutputDevice);
}

bool cKytSIPUserAgentLib::Connect(int32_t nLine, const char* pToURI, int32_t nInputDevice,
                                  int32_t nOutputDevice) {
  return m_pKytMainObj->Connect(nLine, pToURI, nInputDevice, nOutputDevice);
}

bool cKytSIPUserAgentLib::Disconnect(int32_t nLine) { return m_pKytMainObj->Disconnect(nLine); }

bool cKytSIPUserAgentLib::AcceptCall(int32_t nLine, const char* pCallId, int32_t nInputDevice,
                                     int32_t nOutputDevice) {
  return m_pKytMainObj->AcceptCall(nLine, pCallId, nInputDevice, nOutputDevice);
}

bool cKytSIPUserAgentLib::RejectCall(const char* pCallId) {
  return m_pKytMainObj->RejectCall(pCallId);
}

bool cKytSIPUserAgentLib::TransferCall(int32_t nLine, const char* pToURI) {
  return m_pKytMainObj->TransferCall(nLine, pToURI);
}

bool cKytSIPUserAgentLib::TransferCallEx(int32_t nLine, const char* pNumber) {
  return m_pKytMainObj->TransferCallEx(nLine, pNumber);
}

bool cKytSIPUserAgentLib::JoinTwoLine(int32_t nLineA, int32_t nLineB) {
  return m_pKytMainObj->JoinTwoLine(nLineA, nLineB);
}

bool cKytSIPUserAgentLib::HoldLine(int32_t nLine) { return m_pKytMainObj->HoldLine(nLine); }

bool cKytSIPUserAgentLib::UnHoldLine(int32_t nLine) { return m_pKytMainObj->UnHoldLine(nLine); }

bool cKytSIPUserAgentLib::IsLineOpen(int32_t nLine) { return m_pKytMainObj->IsLineOpen(nLine); }

bool cKytSIPUserAgentLib::IsLineHold(int32_t nLine) { return m_pKytMainObj->IsLineHold(nLine); }

bool cKytSIPUserAgentLib::IsLineBusy(int32_t nLine) { return m_pKytMainObj->IsLineBusy(nLine); }

bool cKytSIPUserAgentLib::IsLineConnected(int32_t nLine) {
  return m_pKytMainObj->IsLineConnected(nLine);
}

bool cKytSIPUserAgentLib::DigitDTMF(int32_t nLine, const char* pDigit) {
  static constexpr const char* kDigits = "0123456789*#";
  if (pDigit == nullptr || pDigit[0] == '\0' || pDigit[1] != '\0') return false;
  const char* pFound = std::strchr(kDigits, pDigit[0]);
  if (pFound == nullptr) return false;
  return m_pKytMainObj->DigitDTMF(nLine, static_cast<int32_t>(pFound - kDigits));
}

void cKytSIPUserAgentLib::EnableDonotDisturb() { m_pKytMainObj->DonotDisturb(true); }

void cKytSIPUserAgentLib::DisableDonotDisturb() { m_pKytMainObj->DonotDisturb(false); }

bool cKytSIPUserAgentLib::ForwardCall(bool bEnable, const char* pForwardTo) {
  return m_pKytMainObj->ForwardCall(bEnable, pForwardTo);
}

void cKytSIPUserAgentLib::SelectAllVoiceCodec() { m_pKytMainObj->SelectAllVoiceCodec(); }

void cKytSIPUserAgentLib::DeselectAllVoiceCodec() { m_pKytMainObj->DeselectAllVoiceCodec(); }

bool cKytSIPUserAgentLib::SelectVoiceCodec(int32_t nCodec) {
  return m_pKytMainObj->SelectVoiceCodec(nCodec);
}

bool cKytSIPUserAgentLib::DeselectVoiceCodec(int32_t nCodec) {
  return m_pKytMainObj->DeselectVoiceCodec(nCodec);
}

int32_t cKytSIPUserAgentLib::GetOutboundCodec(int32_t nLine) {
  return m_pKytMainObj->GetOutboundCodec(nLine);
}

int32_t cKytSIPUserAgentLib::GetCountPacketLost(int32_t nLine) {
  return m_pKytMainObj->GetCountPacketLost(nLine);
}

int32_t cKytSIPUserAgentLib::GetSizeJitterBuffer(int32_t nLine) {
  return m_pKytMainObj->GetSizeJitterBuffer(nLine);
}

int32_t cKytSIPUserAgentLib::GetInboundCodec(int32_t nLine) {
  return m_pKytMainObj->GetInboundCodec(nLine);
}

bool cKytSIPUserAgentLib::MuteMic(bool bMute) { return m_pKytMainObj->MuteMic(bMute); }

bool cKytSIPUserAgentLib::MuteSpk(bool bMute) { return m_pKytMainObj->MuteSpk(bMute); }

bool cKytSIPUserAgentLib::MuteLineSPK(int32_t nLine, bool bMute) {
  return m_pKytMainObj->MuteLineSPK(nLine, bMute);
}

bool cKytSIPUserAgentLib::MuteLineMIC(int32_t nLine, bool bMute) {
  return m_pKytMainObj->MuteLineMIC(nLine, bMute);
}

int32_t cKytSIPUserAgentLib::GetMicVolume() { return m_pKytMainObj->GetMicVolume(); }

bool cKytSIPUserAgentLib::SetMicVolume(int32_t nVolume) {
  return m_pKytMainObj->SetMicVolume(nVolume);
}

int32_t cKytSIPUserAgentLib::GetSpkVolume() { return m_pKytMainObj->GetSpkVolume(); }

bool cKytSIPUserAgentLib::SetSpkVolume(int32_t nVolume) {
  return m_pKytMainObj->SetSpkVolume(nVolume);
}

bool cKytSIPUserAgentLib::SetSpkSoftVolume(int32_t nVolume) {
  return m_pKytMainObj->SetSpkSoftVolume(nVolume);
}

int32_t cKytSIPUserAgentLib::GetMicSoundLevel() { return m_pKytMainObj->GetMicSoundLevel(); }

int32_t cKytSIPUserAgentLib::GetSpkSoundLevel() { return m_pKytMainObj->GetSpkSoundLevel(); }

bool cKytSIPUserAgentLib::EnableMicBoost() { return m_pKytMainObj->MicSetSoftBoost(true); }

bool cKytSIPUserAgentLib::DisableMicBoost() { return m_pKytMainObj->MicSetSoftBoost(false); }

bool cKytSIPUserAgentLib::IsMicBoostEnable() { return m_pKytMainObj->MicGetSoftBoost(); }

bool cKytSIPUserAgentLib::EnableAGC(int32_t nGainLevel) {
  return m_pKytMainObj->MicSetAutoGain(nGainLevel);
}

bool cKytSIPUserAgentLib::DisableAGC() { return m_pKytMainObj->MicSetAutoGain(0); }

bool cKytSIPUserAgentLib::VoiceChanger(int32_t nPitch) {
  return m_pKytMainObj->VoiceChanger(nPitch);
}

bool cKytSIPUserAgentLib::ConfAllowLine(int32_t nLine, bool bAllowListen, bool bAllowSpeak) {
  return m_pKytMainObj->ConfAllowLine(nLine, bAllowListen, bAllowSpeak);
}

bool cKytSIPUserAgentLib::LineVoiceChannelSPK(int32_t nLine, int32_t nChannel) {
  return m_pKytMainObj->LineVoiceChannelSPK(nLine, nChannel);
}

bool cKytSIPUserAgentLib::DetectAMD(int32_t nLine, bool bEnable, int32_t nParam1, int32_t nParam2,
                                    int32_t nParam3) {
  return m_pKytMainObj->DetectAMD(nLine, bEnable, nParam1, nParam2, nParam3);
}

bool cKytSIPUserAgentLib::IsRecording(int32_t nLine) { return m_pKytMainObj->IsRecording(nLine); }

bool cKytSIPUserAgentLib::StartRecording(int32_t nLine, int32_t nKind, bool bFlag) {
  return m_pKytMainObj->StartRecording(nLine, nKind, bFlag);
}

bool cKytSIPUserAgentLib::StopRecording(int32_t nLine) {
  return m_pKytMainObj->StopRecording(nLine);
}

bool cKytSIPUserAgentLib::ResetRecording(int32_t nLine) {
  return m_pKytMainObj->ResetRecording(nLine);
}

bool cKytSIPUserAgentLib::SaveRecordingToWaveFile(int32_t nLine, const char* pFileName) {
  return m_pKytMainObj->SaveRecordingToWaveFile(nLine, pFileName);
}

bool cKytSIPUserAgentLib::IsWaveFilePlaying(int32_t nLine) {
  return m_pKytMainObj->IsWaveFilePlaying(nLine);
}

bool cKytSIPUserAgentLib::PlayWaveOpen(int32_t nLine, const char* pFileName) {
  return m_pKytMainObj->PlayWaveOpen(nLine, pFileName);
}

bool cKytSIPUserAgentLib::PlayWaveClose(int32_t nLine) {
  return m_pKytMainObj->PlayWaveClose(nLine);
}

bool cKytSIPUserAgentLib::PlayWaveSkipTo(int32_t nLine, int32_t nPosition) {
  return m_pKytMainObj->PlayWaveSkipTo(nLine, nPosition);
}

int32_t cKytSIPUserAgentLib::PlayWaveTotalTime(int32_t nLine) {
  return m_pKytMainObj->PlayWaveTotalTime(nLine);
}

bool cKytSIPUserAgentLib::PlayWavePause(int32_t nLine) {
  return m_pKytMainObj->PlayWavePause(nLine);
}

bool cKytSIPUserAgentLib::PlayWaveStart(int32_t nLine, bool bFlag) {
  return m_pKytMainObj->PlayWaveStart(nLine, bFlag);
}

bool cKytSIPUserAgentLib::PlayWaveStop(int32_t nLine) { return m_pKytMainObj->PlayWaveStop(nLine); }

int32_t cKytSIPUserAgentLib::PlayWavePosition(int32_t nLine) {
  return m_pKytMainObj->PlayWavePosition(nLine);
}

bool cKytSIPUserAgentLib::ChatAddContact(const char* pContactURI) {
  return m_pKytMainObj->ChatAddContact(pContactURI);
}

bool cKytSIPUserAgentLib::ChatRemoveContact(const char* pContactURI) {
  return m_pKytMainObj->ChatRemoveContact(pContactURI);
}

bool cKytSIPUserAgentLib::ChatSetMyStatus(int32_t nStatus) {
  return m_pKytMainObj->ChatSetMyStatus(nStatus);
}

bool cKytSIPUserAgentLib::ChatSendMessageText(const char* pRecipient, const char* pText,
                                              int32_t nContentKind, int32_t nNumber) {
  return m_pKytMainObj->ChatSendMessageText(pRecipient, pText, nContentKind, nNumber);
}

bool cKytSIPUserAgentLib::ChatSendMessageTyping(const char* pRecipient, int32_t nNumber) {
  return m_pKytMainObj->ChatSendMessageTyping(pRecipient, nNumber);
}

void cKytSIPUserAgentLib::SetCaFile(const char* pCaFile) {
  m_pKytMainObj->SetCaFile(pCaFile ? pCaFile : "");
}

bool cKytSIPUserAgentLib::DiagnosticLog(bool bEnable) {
  return m_pKytMainObj->DiagnosticLog(bEnable);
}

const char* cKytSIPUserAgentLib::GetMyIP() { return m_pKytMainObj->GetMyIP().GetDATA(); }
