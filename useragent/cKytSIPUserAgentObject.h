#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "KytRTP/cKytRTPEventSink.h"
#include "call/cCallSink.h"
#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

class cMainLoop;
class cKytSIPUserAgentLib;
class cKytEventObj;
class cSocketSIP;
class cRegSIP;
class cCallPool;
class cCallReceiver;
class cCodecSIP;
class cTickTimer;
class cKytRTP;
class cChatSIP;
class cGenListenPortSIP;
class cRouterSIP;
class cSIPCall;
class cMsgSIP;

// The user agent: owns every SIP component and the media engine, holds the session's settings
// and the line table, routes received messages and drives the one-second tick. Every operation
// answers at once and leaves the reason of a failure in m_nLastError. Main thread only.
class cKytSIPUserAgentObject : public cCallSink, public cKytRTPEventSink, private cKytNoCopy {
 public:
  // pKytMainLib receives the events; pMainLoop runs the socket, the timer and the media events.
  // Neither is owned; both outlive this object.
  cKytSIPUserAgentObject(cKytSIPUserAgentLib* pKytMainLib, cMainLoop* pMainLoop);
  ~cKytSIPUserAgentObject() override;

  // Session.
  bool Init(bool bBindToListenIP, const cKytSTR& listenIP, int32_t nListenPort,
            const cKytSTR& fromURI, const cKytSTR& outboundProxy, const cKytSTR& proxySIP,
            const cKytSTR& loginId, const cKytSTR& loginPwd, int32_t nTotalLine);
  bool InitEx(bool bBindToListenIP, const cKytSTR& listenIP, int32_t nListenPort,
              const cKytSTR& userName, const cKytSTR& loginId, const cKytSTR& loginPwd,
              const cKytSTR& displayName, const cKytSTR& domainRealm, const cKytSTR& proxySIP,
              const cKytSTR& outboundProxy, int32_t nTotalLine);
  void UnInit();
  bool IsInitialized() const { return m_bIsInitialized; }
  int32_t GetKytObjectError() const { return m_nLastError; }
  // A script text that no operation may take (it holds a NUL): false with 22.
  bool RefuseText();
  int32_t GetTotalLine() const { return m_nTotalLine; }

  // Registration and keep-alive.
  bool RegisterToProxy(int32_t nExpires);
  bool UnRegisterToProxy();
  bool EnableKeepAlive(int32_t nSeconds);
  void DisableKeepAlive();

  // Lines and calls.
  bool OpenLine(int32_t nLine, bool bBindToIP, const cKytSTR& ip, int32_t nPort);
  bool CloseLine(int32_t nLine);
  bool Connect(int32_t nLine, const cKytSTR& toURI, int32_t nInputDevice, int32_t nOutputDevice);
  bool DialCall(int32_t nLine, const cKytSTR& number, int32_t nInputDevice, int32_t nOutputDevice);
  bool AcceptCall(int32_t nLine, const cKytSTR& callId, int32_t nInputDevice,
                  int32_t nOutputDevice);
  bool RejectCall(const cKytSTR& callId);
  bool Disconnect(int32_t nLine);
  bool HoldLine(int32_t nLine);
  bool UnHoldLine(int32_t nLine);
  bool TransferCall(int32_t nLine, const cKytSTR& toURI);
  bool TransferCallEx(int32_t nLine, const cKytSTR& number);
  bool JoinTwoLine(int32_t nLineA, int32_t nLineB);
  bool IsLineConnected(int32_t nLine);
  bool IsLineBusy(int32_t nLine);
  bool IsLineOpen(int32_t nLine);
  bool IsLineHold(int32_t nLine);
  // nEvent: 0-9 digits, 10 '*', 11 '#'.
  bool DigitDTMF(int32_t nLine, int32_t nEvent);
  bool DonotDisturb(bool bEnable);
  bool ForwardCall(bool bEnable, const cKytSTR& forwardTo);
  // The call on the line, or null.
  cSIPCall* GetLineCall(int32_t nLine) const;

  // Recording and wave playback.
  bool IsRecording(int32_t nLine);
  bool StartRecording(int32_t nLine, int32_t nKind, bool bFlag);
  bool StopRecording(int32_t nLine);
  bool ResetRecording(int32_t nLine);
  bool SaveRecordingToWaveFile(int32_t nLine, const cKytSTR& fileName);
  bool PlayWaveOpen(int32_t nLine, const cKytSTR& fileName);
  bool PlayWaveClose(int32_t nLine);
  bool PlayWaveSkipTo(int32_t nLine, int32_t nPosition);
  int32_t PlayWaveTotalTime(int32_t nLine);
  bool PlayWavePause(int32_t nLine);
  bool PlayWaveStart(int32_t nLine, bool bFlag);
  bool PlayWaveStop(int32_t nLine);
  int32_t PlayWavePosition(int32_t nLine);
  bool IsWaveFilePlaying(int32_t nLine);

  // Per-line media settings.
  bool MuteLineSPK(int32_t nLine, bool bMute);
  bool MuteLineMIC(int32_t nLine, bool bMute);
  bool LineVoiceChannelSPK(int32_t nLine, int32_t nChannel);
  bool ConfAllowLine(int32_t nLine, bool bAllowListen, bool bAllowSpeak);
  bool DetectAMD(int32_t nLine, bool bEnable, int32_t nParam1, int32_t nParam2, int32_t nParam3);
  int32_t GetOutboundCodec(int32_t nLine);
  int32_t GetInboundCodec(int32_t nLine);
  int32_t GetCountPacketLost(int32_t nLine);
  int32_t GetSizeJitterBuffer(int32_t nLine);

  // Sound device.
  bool MuteMic(bool bMute);
  bool MuteSpk(bool bMute);
  bool VoiceChanger(int32_t nPitch);
  bool MicSetSoftBoost(bool bEnable);
  bool MicGetSoftBoost();
  bool MicSetAutoGain(int32_t nLevel);
  bool SetSpkSoftVolume(int32_t nVolume);
  int32_t GetMicSoundLevel();
  int32_t GetSpkSoundLevel();
  bool SetMicVolume(int32_t) { return false; }
  bool SetSpkVolume(int32_t) { return false; }
  int32_t GetMicVolume() { return 0; }
  int32_t GetSpkVolume() { return 0; }

  // Chat and presence.
  bool ChatAddContact(const cKytSTR& contactURI);
  bool ChatRemoveContact(const cKytSTR& contactURI);
  bool ChatSetMyStatus(int32_t nStatus);
  bool ChatSendMessageText(const cKytSTR& recipient, const cKytSTR& text, int32_t nContentKind,
                           int32_t nNumber);
  bool ChatSendMessageTyping(const cKytSTR& recipient, int32_t nNumber);

  // Codecs.
  void SelectAllVoiceCodec();
  void DeselectAllVoiceCodec();
  bool SelectVoiceCodec(int32_t nCodec);
  bool DeselectVoiceCodec(int32_t nCodec);

  bool DiagnosticLog(bool bEnable);
  // A CA file trusted for TLS besides the system's store (empty: none); for the next Init.
  void SetCaFile(const cKytSTR& caFile) { m_pCaFile = caFile; }
  // The local address this agent would announce; valid until the next call.
  const cKytSTR& GetMyIP();

  // cKytCoreSink: settings of this session.
  const cKytSTR& GetListenIP() const override { return m_pListenIP; }
  int32_t GetListenPort() const override { return m_nListenPort; }
  const cKytSTR& GetFromURI() const override { return m_pFromURI; }
  const cKytSTR& GetProxySIP() const override { return m_pProxySIP; }
  const cKytSTR& GetProxyLoginId() const override { return m_pProxyLoginId; }
  const cKytSTR& GetProxyLoginPwd() const override { return m_pProxyLoginPwd; }
  const cKytSTR& GetDomainRealm() const override { return m_pDomainRealm; }
  eTransportSIP GetTransport() const override { return m_eTransport; }

  // cKytCoreSink: transport of the components.
  void OnSocketRecv(const cKytSTR& text) override;
  void OnSocketRecvFrom(const cKytSTR& text, const cKytSTR& sourceIP, int32_t nSourcePort) override;
  void OnPublicAddress(const cKytSTR& ip, int32_t nPort) override;
  void SendToSocket(const cKytSTR& text, const cKytSTR& host, int32_t nPort) override;
  bool FailOverToNextServer() override;
  void OnTransportFailure(const cKytSTR& host, const cKytSTR& reason) override;
  void OnTransportLost(const cKytSTR& host) override;
  // cCallSink: media of the calls.
  bool StartRTP(int32_t nLine, const cKytSTR& remoteIP, int32_t nRemotePort, int32_t nCodec,
                int32_t nPayloadType, int32_t nILBCModeMs, bool bOutbound, bool bInbound) override;
  bool StopRTP(int32_t nLine, bool bStopOutbound, bool bStopInbound) override;
  bool GetRTPLineRx(int32_t nLine, cKytSTR& ip, int32_t& nPort) override;
  bool SetMediaKeys(int32_t nLine, const cMsgSDP::sCrypto& send,
                    const cMsgSDP::sCrypto& receive) override;
  bool IsSrtpMandatory() const override { return m_bSrtpMandatory; }
  // The page's SRTP setting: mandatory refuses plain RTP offers over secure signalling.
  void SetSrtpMandatory(bool bMandatory) { m_bSrtpMandatory = bMandatory; }
  bool ChoosePriorityCodec(const cKytListSTR& remoteCodecNumbers,
                           const cKytListSTR& remotePayloadNumbers, int32_t& nCodec,
                           int32_t& nPayloadType) override;
  void CloseCall(cSIPCall* pCall) override;

  // From the timer.
  void OnOneSecondTick();

  // From the event relay before it passes these on: the line's media stops.
  void OnDisconnectCall(int32_t nLine);
  void OnFailToConnect(int32_t nLine);
  void OnFailureResponse(int32_t nLine, int32_t nStatusCode, const cKytSTR& reason);

  // cKytRTPEventSink: from the media engine, already on the main thread.
  void OnDetectedAMD(int32_t nLine, bool bDetected) override;
  void OnPlayWaveDone(int32_t nLine) override;

  // Components, for hosts and tests.
  cKytEventObj* GetEventObj() const { return m_pKytEventObj.get(); }
  cKytRTP* GetKytRTPLib() const { return m_pKytRTPLib.get(); }
  cCallPool* GetCallPool() const { return m_pObjCallPool.get(); }
  const cKytSTR& GetSendToHost() const { return m_pSendToHost; }
  int32_t GetSendToPort() const { return m_nSendToPort; }

 private:
  bool NeedSession();
  // A chat address: one line, not empty (else 22).
  bool NeedAddress(const cKytSTR& address);
  bool LineInRange(int32_t nLine);
  bool ObjectChecks(int32_t nLine);
  bool IsCallBusy(const cSIPCall* pCall) const;
  void AllocateLINES(int32_t nTotalLine);
  bool FillListenSIP(bool bBindToListenIP, const cKytSTR& listenIP, int32_t nListenPort);
  // Empties the slot, releasing an idle call left in it; false (30) when its call is busy.
  bool FreeIdleSlot(int32_t nLine);
  void PlaceCall(int32_t nLine, cSIPCall* pCall);
  bool TakeMediaError();
  bool TakeCallError(const cSIPCall* pCall);
  // The address announced when the page gives none: the local side of the route toward the
  // first hop, else the interface rules of cMyIP.
  void LocalAddress(cKytSTR& ip) const;
  void OnRegisterResponse(const cMsgSIP& response);
  static void BuildToURI(const cKytSTR& displayName, const cKytSTR& number, const cKytSTR& host,
                         cKytSTR& uri);

  cKytSIPUserAgentLib* m_pKytMainLib;
  cMainLoop* m_pMainLoop;

  std::unique_ptr<cKytRTP> m_pKytRTPLib;
  std::unique_ptr<cKytEventObj> m_pKytEventObj;
  std::unique_ptr<cSocketSIP> m_pSocketSIP;
  std::unique_ptr<cRegSIP> m_pRegSIP;
  std::unique_ptr<cCallPool> m_pObjCallPool;
  std::unique_ptr<cCodecSIP> m_pCodecSIP;
  std::unique_ptr<cTickTimer> m_pObjTimerTick;
  // Slot n holds the Call-ID of the call on line n (empty: no call). The calls belong to the
  // pool, which may destroy a closed call while a slot still names it; resolving through the
  // pool at each use never reaches a destroyed call.
  std::vector<cKytSTR> m_pAllocLineSIP;
  std::unique_ptr<cChatSIP> m_pChatSIP;
  std::unique_ptr<cCallReceiver> m_pCallReceiver;
  // Every received message goes through here to registration, the calls or chat.
  std::unique_ptr<cRouterSIP> m_pRouterSIP;
  bool m_bIsInitialized = false;
  int32_t m_nLastError = 0;
  int32_t m_nTotalLine = 0;
  cKytSTR m_pResultMyIP;
  bool m_bForwardCall = false;
  cKytSTR m_pForwardCallTo;
  std::unique_ptr<cGenListenPortSIP> mpListenSIP;

  // Session settings, one set per user agent object.
  cKytSTR m_pListenIP;
  int32_t m_nListenPort = -1;
  cKytSTR m_pFromURI;
  cKytSTR m_pProxySIP;
  cKytSTR m_pProxyLoginId;
  cKytSTR m_pProxyLoginPwd;
  cKytSTR m_pDomainRealm;
  cKytSTR m_pSendToHost;
  int32_t m_nSendToPort = 0;
  // A host name without a port is located by NAPTR and SRV.
  bool m_bSendToPortGiven = true;
  // Toward the first hop: TLS for a sips: URI or ";transport=tls", TCP for ";transport=tcp".
  eTransportSIP m_eTransport = eTransportSIP::UDP;
  cKytSTR m_pCaFile;
  // The host of the outbound proxy (else the SIP proxy), whose route gives the local address.
  cKytSTR m_pFirstHop;
  // The local address of the session, and the public one the registrar saw (empty: no NAT),
  // which then stands for it in Via, Contact and session descriptions.
  cKytSTR m_pLocalIP;
  cKytSTR m_pPublicIP;
  bool m_bSrtpMandatory = false;
};
