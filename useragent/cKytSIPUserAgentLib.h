#pragma once

#include <cstdint>
#include <memory>

#include "util/cKytNoCopy.h"

class cMainLoop;
class cKytSIPUserAgentObject;

// The user agent as the script bridge sees it. Every script function ends in one operation here;
// text arguments are zero-terminated UTF-8 and may be null (read as empty). Operations return at
// once; a failure leaves its code for GetKytObjectError. Everything runs on the main thread, the
// one that runs pMainLoop.
//
// Text results stay valid until the next call of the same operation (GetMyIP) or for the life of
// the program (the fixed texts).
//
// The event operations do nothing here; a subclass overrides the ones it wants to hear. They are
// called synchronously from inside SIP processing (a datagram, the one-second tick or a script
// call), so an override may call back into this object.
class cKytSIPUserAgentLib : private cKytNoCopy {
 public:
  // pMainLoop must outlive this object.
  explicit cKytSIPUserAgentLib(cMainLoop* pMainLoop);
  virtual ~cKytSIPUserAgentLib();

  // The core behind the facade (hosts and tests reach settings and components through it).
  cKytSIPUserAgentObject* GetKytMainObj() const { return m_pKytMainObj.get(); }
  // For hosts without sound hardware, before the first call: the microphone plays pMicWave once
  // and then silence, the speaker is written to pSpeakerWave (empty: silence, nowhere). False
  // once the sound device is open.
  bool UseVirtualSoundDevice(const char* pMicWave, const char* pSpeakerWave);
  // The page's SRTP setting: "optional" (the default) answers a plain RTP offer over secure
  // signalling with plain RTP, "mandatory" refuses it (488). False for any other text.
  bool SetSrtpMode(const char* pMode);

  // Session. The use-sound-device argument is ignored: media always uses the sound device.
  bool Initialize(bool bBindToListenIP, const char* pListenIP, int32_t nListenPort,
                  const char* pFromURI, const char* pOutboundProxy, const char* pProxySIP,
                  const char* pLoginId, const char* pLoginPwd, bool bUseSoundDevice,
                  int32_t nTotalLine);
  bool InitializeEx(bool bBindToListenIP, const char* pListenIP, int32_t nListenPort,
                    const char* pUserName, const char* pLoginId, const char* pLoginPwd,
                    const char* pDisplayName, const char* pDomainRealm, const char* pProxySIP,
                    const char* pOutboundProxy, bool bUseSoundDevice, int32_t nTotalLine);
  void UnInitialize();
  int32_t GetKytObjectError() const;
  // A script text that cannot be passed on whole (it holds a NUL): leaves 22, answers false.
  bool RefuseText();

  // Registration and keep-alive.
  bool RegisterToProxy(int32_t nExpires);
  bool UnRegisterToProxy();
  bool EnableKeepAlive(int32_t nSeconds);
  void DisableKeepAlive();

  // Lines and calls.
  bool OpenLine(int32_t nLine, bool bBindToIP, const char* pIP, int32_t nPort);
  bool CloseLine(int32_t nLine);
  bool DialCall(int32_t nLine, const char* pNumber, int32_t nInputDevice, int32_t nOutputDevice);
  bool Connect(int32_t nLine, const char* pToURI, int32_t nInputDevice, int32_t nOutputDevice);
  bool Disconnect(int32_t nLine);
  bool AcceptCall(int32_t nLine, const char* pCallId, int32_t nInputDevice, int32_t nOutputDevice);
  bool RejectCall(const char* pCallId);
  bool TransferCall(int32_t nLine, const char* pToURI);
  bool TransferCallEx(int32_t nLine, const char* pNumber);
  bool JoinTwoLine(int32_t nLineA, int32_t nLineB);
  bool HoldLine(int32_t nLine);
  bool UnHoldLine(int32_t nLine);
  bool IsLineOpen(int32_t nLine);
  bool IsLineHold(int32_t nLine);
  bool IsLineBusy(int32_t nLine);
  bool IsLineConnected(int32_t nLine);
  // One of "0123456789*#", exactly one character; anything else answers false and sets no code.
  bool DigitDTMF(int32_t nLine, const char* pDigit);
  void EnableDonotDisturb();
  void DisableDonotDisturb();
  bool ForwardCall(bool bEnable, const char* pForwardTo);

  // Codecs (0 G.711 u-law, 1 G.711 A-law, 2 GSM 06.10, 3 iLBC).
  void SelectAllVoiceCodec();
  void DeselectAllVoiceCodec();
  bool SelectVoiceCodec(int32_t nCodec);
  bool DeselectVoiceCodec(int32_t nCodec);
  int32_t GetOutboundCodec(int32_t nLine);
  int32_t GetInboundCodec(int32_t nLine);
  // Packets lost from the far end's stream on the line (RTCP's cumulative count), and packets
  // waiting in its jitter buffer; 0 without a session or line.
  int32_t GetCountPacketLost(int32_t nLine);
  int32_t GetSizeJitterBuffer(int32_t nLine);

  // Sound device and per-line media.
  bool MuteMic(bool bMute);
  bool MuteSpk(bool bMute);
  bool MuteLineSPK(int32_t nLine, bool bMute);
  bool MuteLineMIC(int32_t nLine, bool bMute);
  int32_t GetMicVolume();
  bool SetMicVolume(int32_t nVolume);
  int32_t GetSpkVolume();
  bool SetSpkVolume(int32_t nVolume);
  bool SetSpkSoftVolume(int32_t nVolume);
  int32_t GetMicSoundLevel();
  int32_t GetSpkSoundLevel();
  bool EnableMicBoost();
  bool DisableMicBoost();
  bool IsMicBoostEnable();
  bool EnableAGC(int32_t nGainLevel);
  bool DisableAGC();
  bool VoiceChanger(int32_t nPitch);
  bool ConfAllowLine(int32_t nLine, bool bAllowListen, bool bAllowSpeak);
  bool LineVoiceChannelSPK(int32_t nLine, int32_t nChannel);
  bool DetectAMD(int32_t nLine, bool bEnable, int32_t nParam1, int32_t nParam2, int32_t nParam3);

  // Recording.
  bool IsRecording(int32_t nLine);
  bool StartRecording(int32_t nLine, int32_t nKind, bool bFlag);
  bool StopRecording(int32_t nLine);
  bool ResetRecording(int32_t nLine);
  bool SaveRecordingToWaveFile(int32_t nLine, const char* pFileName);

  // Wave playback into a call.
  bool IsWaveFilePlaying(int32_t nLine);
  bool PlayWaveOpen(int32_t nLine, const char* pFileName);
  bool PlayWaveClose(int32_t nLine);
  bool PlayWaveSkipTo(int32_t nLine, int32_t nPosition);
  int32_t PlayWaveTotalTime(int32_t nLine);
  bool PlayWavePause(int32_t nLine);
  bool PlayWaveStart(int32_t nLine, bool bFlag);
  bool PlayWaveStop(int32_t nLine);
  int32_t PlayWavePosition(int32_t nLine);

  // Chat and presence.
  bool ChatAddContact(const char* pContactURI);
  bool ChatRemoveContact(const char* pContactURI);
  bool ChatSetMyStatus(int32_t nStatus);
  bool ChatSendMessageText(const char* pRecipient, const char* pText, int32_t nContentKind,
                           int32_t nNumber);
  bool ChatSendMessageTyping(const char* pRecipient, int32_t nNumber);

  // Diagnostics and addresses.
  bool DiagnosticLog(bool bEnable);
  // A CA file (PEM) trusted for SIP over TLS besides the system's store, from the next Init on;
  // null or empty: the system's store alone.
  void SetCaFile(const char* pCaFile);
  const char* GetMyIP();

  // Fixed answers.
  int32_t GetAudioInDevTotal() const { return 1; }
  int32_t GetAudioOutDevTotal() const { return 1; }
  int32_t GetAudioInDevId(int32_t) const { return -1; }
  int32_t GetAudioOutDevId(int32_t) const { return -1; }
  const char* GetAudioInDevName(int32_t nIndex) const { return nIndex == 0 ? "Default" : ""; }
  const char* GetAudioOutDevName(int32_t nIndex) const { return nIndex == 0 ? "Default" : ""; }
  const char* GetStartMyIP() const { return nullptr; }  // no text
  const char* GetNextMyIP() const { return ""; }
  const char* GetVersionFile() const { return KYT_VERSION; }
  const char* GetVersionSDK() const { return "3.0"; }
  bool EchoCancellation(bool) const { return true; }
  bool EnableForceInbandDTMF(int32_t) const { return false; }
  bool DisableForceInbandDTMF(int32_t) const { return false; }
  bool EnableForceInfoDTMF(int32_t) const { return false; }
  bool DisableForceInfoDTMF(int32_t) const { return false; }
  bool EnableForceRfc2833DTMF(int32_t) const { return false; }
  bool DisableForceRfc2833DTMF(int32_t) const { return false; }
  bool EnableEchoNoiseCancellation() const { return false; }
  bool DisableEchoNoiseCancellation() const { return false; }
  bool SetUserAgentSIP(const char*) const { return false; }
  const char* GetUserAgentSIP() const { return ""; }
  bool SetSubjectSDP(const char*) const { return false; }
  const char* GetSubjectSDP() const { return ""; }
  void SetSessionLostTick(int32_t) const {}
  bool SetLineSpkVol(int32_t, int32_t) const { return false; }
  int32_t GetLineSpkVol(int32_t) const { return 0; }
  bool AddCustomHeader(int32_t, int32_t, const char*, const char*) const { return false; }
  bool RemoveCustomHeader(int32_t, int32_t, const char*) const { return false; }
  bool RemoveCustomHeaderAll(int32_t, int32_t) const { return false; }
  bool ActivateQosSIP(int32_t) const { return false; }
  void DeactivateQosSIP() const {}
  bool ActivateQosRTP(int32_t, int32_t) const { return false; }
  void DeactivateQosRTP(int32_t) const {}
  bool OpenMediaSecondry(int32_t, int32_t) const { return false; }
  bool CloseMediaSecondry() const { return false; }
  bool ChangeMEDIA(int32_t, int32_t, int32_t) const { return false; }
  bool ConnectCall(int32_t, const char*, const char*, int32_t, int32_t) const { return false; }
  bool PlayAddPCM(int32_t, int32_t, int32_t) const { return false; }
  bool PlayResetPCM(int32_t) const { return false; }
  bool CaptureStreamPCM(int32_t, bool) const { return false; }

  // Events. Texts are valid for the duration of the call only.
  virtual void OnTryingToRegister() {}
  virtual void OnSuccessToRegister() {}
  virtual void OnFailToRegister() {}
  virtual void OnFailToRegisterEx(int32_t /*nStatusCode*/, const char* /*pReason*/) {}
  virtual void OnTryingToReRegister() {}
  virtual void OnSuccessToReRegister() {}
  virtual void OnFailToReRegister() {}
  virtual void OnFailToReRegisterEx(int32_t /*nStatusCode*/, const char* /*pReason*/) {}
  virtual void OnTryingToUnRegister() {}
  virtual void OnSuccessToUnRegister() {}
  virtual void OnFailToUnRegister(int32_t /*nStatusCode*/, const char* /*pReason*/) {}

  virtual void OnConnecting(int32_t /*nLine*/) {}
  virtual void OnSuccessToConnect(int32_t /*nLine*/, const char* /*pRemoteRtpIP*/,
                                  int32_t /*nRemoteRtpPort*/, const char* /*pCallId*/) {}
  virtual void OnFailToConnect(int32_t /*nLine*/) {}
  virtual void OnDisconnectCall(int32_t /*nLine*/) {}
  virtual void OnIncomingCall(const char* /*pCallId*/, const char* /*pCallerDisplayName*/,
                              const char* /*pCallerUserName*/, const char* /*pCallerURI*/,
                              const char* /*pCalleeURI*/) {}
  virtual void OnIncomingCallRingingStart(const char* /*pCallId*/) {}
  virtual void OnIncomingCallRingingStop(const char* /*pCallId*/) {}
  virtual void OnProvisionalResponse(int32_t /*nLine*/, int32_t /*nStatusCode*/,
                                     const char* /*pReason*/) {}
  virtual void OnRedirectionResponse(int32_t /*nLine*/, int32_t /*nStatusCode*/,
                                     const char* /*pReason*/, const char* /*pContact*/) {}
  virtual void OnRequestFailureResponse(int32_t /*nLine*/, int32_t /*nStatusCode*/,
                                        const char* /*pReason*/) {}
  virtual void OnServerFailureResponse(int32_t /*nLine*/, int32_t /*nStatusCode*/,
                                       const char* /*pReason*/) {}
  virtual void OnGeneralFailureResponse(int32_t /*nLine*/, int32_t /*nStatusCode*/,
                                        const char* /*pReason*/) {}
  virtual void OnTryingToHold(int32_t /*nLine*/) {}
  virtual void OnSuccessToHold(int32_t /*nLine*/) {}
  virtual void OnFailToHold(int32_t /*nLine*/) {}
  virtual void OnTryingToUnHold(int32_t /*nLine*/) {}
  virtual void OnSuccessToUnHold(int32_t /*nLine*/) {}
  virtual void OnFailToUnHold(int32_t /*nLine*/) {}
  virtual void OnCallTransferAccepted(int32_t /*nLine*/) {}
  virtual void OnFailToTransfer(int32_t /*nLine*/, int32_t /*nStatusCode*/,
                                const char* /*pReason*/) {}

  virtual void OnChatContactStatus(const char* /*pContact*/, int32_t /*nStatus*/) {}
  virtual void OnChatSendMsgTextSuccess(const char* /*pRecipient*/, const char* /*pText*/,
                                        int32_t /*nNumber*/) {}
  virtual void OnChatSendMsgTextFail(const char* /*pRecipient*/, int32_t /*nStatusCode*/,
                                     const char* /*pReason*/, const char* /*pText*/,
                                     int32_t /*nNumber*/) {}
  virtual void OnChatSendMsgTypingSuccess(const char* /*pRecipient*/, int32_t /*nNumber*/) {}
  virtual void OnChatSendMsgTypingFail(const char* /*pRecipient*/, int32_t /*nStatusCode*/,
                                       const char* /*pReason*/, int32_t /*nNumber*/) {}
  virtual void OnChatRecvMsgText(const char* /*pSender*/, const char* /*pText*/) {}
  virtual void OnChatRecvMsgTypingStart(const char* /*pSender*/) {}
  virtual void OnChatRecvMsgTypingStop(const char* /*pSender*/) {}

  virtual void OnIncomingDiagnostic(const char* /*pMessage*/, const char* /*pAddress*/,
                                    int32_t /*nPort*/) {}
  virtual void OnOutgoingDiagnostic(const char* /*pMessage*/, const char* /*pAddress*/,
                                    int32_t /*nPort*/) {}
  virtual void OnDetectedAMD(int32_t /*nLine*/, bool /*bDetected*/) {}
  virtual void OnPlayWaveDone(int32_t /*nLine*/) {}

 private:
  std::unique_ptr<cKytSIPUserAgentObject> m_pKytMainObj;
};
