#pragma once

// A user agent reduced to what the call classes need: session settings, a send path that records
// (or hands to a real socket), media calls that are only recorded, events that are only recorded,
// and the router with the call side attached, as the user agent object has them.

#include <deque>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "call/cCallPool.h"
#include "call/cCallReceiver.h"
#include "call/cCodecSIP.h"
#include "call/cSIPCall.h"
#include "sip/cMsgSIP.h"
#include "sip/cRouterSIP.h"
#include "tests/support/cFakeCoreSink.h"
#include "tests/support/cRecordingEventSink.h"

struct RtpStart {
  int32_t nLine;
  std::string ip;
  int32_t nPort;
  int32_t nCodec;
  int32_t nPayload;
  bool bOutbound;
  bool bInbound;
};

// Registration and call events as lines ("OnConnected 0 127.0.0.1 6000 <call-id>"); chat,
// diagnostic and media events are ignored.
class FakeEvents : public kyttest::cRecordingEventSink {
 public:
  void OnTryingToRegister() override { Add("OnTryingToRegister"); }
  void OnSuccessToRegister() override { Add("OnSuccessToRegister"); }
  void OnFailToRegister(int32_t, const cKytSTR&) override { Add("OnFailToRegister"); }
  void OnTryingToReRegister() override { Add("OnTryingToReRegister"); }
  void OnSuccessToReRegister() override { Add("OnSuccessToReRegister"); }
  void OnFailToReRegister(int32_t, const cKytSTR&) override { Add("OnFailToReRegister"); }
  void OnTryingToUnRegister() override { Add("OnTryingToUnRegister"); }
  void OnSuccessToUnRegister() override { Add("OnSuccessToUnRegister"); }
  void OnFailToUnRegister(int32_t, const cKytSTR&) override { Add("OnFailToUnRegister"); }
  void OnConnecting(int32_t nLine) override { Add("OnConnecting " + N(nLine)); }
  void OnTryingToHold(int32_t nLine) override { Add("OnTryingToHold " + N(nLine)); }
  void OnTryingToUnHold(int32_t nLine) override { Add("OnTryingToUnHold " + N(nLine)); }
  void OnSuccessToHold(int32_t nLine) override { Add("OnSuccessToHold " + N(nLine)); }
  void OnSuccessToUnHold(int32_t nLine) override { Add("OnSuccessToUnHold " + N(nLine)); }
  void OnFailToHold(int32_t nLine) override { Add("OnFailToHold " + N(nLine)); }
  void OnFailToUnHold(int32_t nLine) override { Add("OnFailToUnHold " + N(nLine)); }
  void OnFailToConnect(int32_t nLine) override { Add("OnFailToConnect " + N(nLine)); }
  void OnDisconnectCall(int32_t nLine) override { Add("OnDisconnectCall " + N(nLine)); }
  void OnIncomingCall(const cKytSTR& callId, const cKytSTR& display, const cKytSTR& user,
                      const cKytSTR& from, const cKytSTR& to) override {
    m_LastIncomingCallId = callId.GetDATA();
    Add("OnIncomingCall " + S(callId) + "|" + S(display) + "|" + S(user) + "|" + S(from) + "|" +
        S(to));
  }
  void OnIncomingCallRingingStart(const cKytSTR& callId) override {
    Add("OnIncomingCallRingingStart " + S(callId));
  }
  void OnIncomingCallRingingStop(const cKytSTR& callId) override {
    Add("OnIncomingCallRingingStop " + S(callId));
  }
  void OnConnected(int32_t nLine, const cKytSTR& ip, int32_t nPort,
                   const cKytSTR& callId) override {
    Add("OnConnected " + N(nLine) + " " + S(ip) + " " + N(nPort) + " " + S(callId));
  }
  void OnProvisionalResponse(int32_t nLine, int32_t nCode, const cKytSTR& reason) override {
    Add("OnProvisionalResponse " + N(nLine) + " " + N(nCode) + " " + S(reason));
  }
  void OnRequestFailureResponse(int32_t nLine, int32_t nCode, const cKytSTR& reason) override {
    Add("OnRequestFailureResponse " + N(nLine) + " " + N(nCode) + " " + S(reason));
  }
  void OnServerFailureResponse(int32_t nLine, int32_t nCode, const cKytSTR& reason) override {
    Add("OnServerFailureResponse " + N(nLine) + " " + N(nCode) + " " + S(reason));
  }
  void OnGeneralFailureResponse(int32_t nLine, int32_t nCode, const cKytSTR& reason) override {
    Add("OnGeneralFailureResponse " + N(nLine) + " " + N(nCode) + " " + S(reason));
  }
  void OnRedirectResponse(int32_t nLine, int32_t nCode, const cKytSTR& reason,
                          const cKytSTR& contact) override {
    Add("OnRedirectResponse " + N(nLine) + " " + N(nCode) + " " + S(reason) + " " + S(contact));
  }
  void OnCallTransferAccepted(int32_t nLine) override { Add("OnCallTransferAccepted " + N(nLine)); }
  void OnFailToTransfer(int32_t nLine, int32_t nCode, const cKytSTR& reason) override {
    Add("OnFailToTransfer " + N(nLine) + " " + N(nCode) + " " + S(reason));
  }

  std::string m_LastIncomingCallId;

 private:
  static std::string N(int32_t n) { return std::to_string(n); }
  static std::string S(const cKytSTR& s) { return s.GetDATA(); }
};

// One side of a call test. Messages it sends are queued in m_Outbox (and kept in m_Sent); a test
// moves them to the other side with Deliver, or a real socket carries them when one is attached.
class FakeAgent : public kyttest::cFakeCoreSink {
 public:
  FakeAgent(const std::string& user, int32_t nListenPort, int32_t nRtpPort);
  ~FakeAgent() override;

  void OnSocketRecv(const cKytSTR& text) override { Deliver(text.GetDATA()); }
  void SendToSocket(const cKytSTR& text, const cKytSTR& host, int32_t nPort) override;
  bool StartRTP(int32_t nLine, const cKytSTR& ip, int32_t nPort, int32_t nCodec, int32_t nPayload,
                int32_t, bool bOutbound, bool bInbound) override;
  bool StopRTP(int32_t nLine, bool bStopOutbound, bool bStopInbound) override;
  bool GetRTPLineRx(int32_t nLine, cKytSTR& ip, int32_t& nPort) override;
  bool ChoosePriorityCodec(const cKytListSTR& codecNumbers, const cKytListSTR& payloadNumbers,
                           int32_t& nCodec, int32_t& nPayload) override;
  void CloseCall(cSIPCall* pCall) override;

  // A received message, through the router.
  void Deliver(const std::string& text);
  // One second: the call on the line, then the pool.
  void Tick();

  // Dials on line 0.
  cSIPCall* Dial(const std::string& target);
  // Takes the ringing call with the last incoming Call-ID onto line 0 and accepts it.
  bool Accept();
  cSIPCall* Line() const { return m_pLine; }
  cSIPCall* Find(const std::string& callId) const { return m_Pool.FindCall(callId.c_str()); }
  int32_t Status() const { return m_pLine ? m_pLine->GetObjectStatus() : -1; }

  // Sent messages: count of those whose start line begins with prefix ("INVITE ", "SIP/2.0 200").
  int CountSent(const std::string& prefix) const;
  std::string LastSent(const std::string& prefix) const;
  std::vector<std::string> TakeOutbox();

  // When set, sends go here instead of the outbox (a real socket).
  std::function<void(const std::string&)> m_SendHook;

  cKytSTR m_RtpIP = "127.0.0.1";
  int32_t m_nRtpPort;

  FakeEvents m_Events;
  cCallPool m_Pool;
  cCallReceiver m_Calls;
  cRouterSIP m_Router;
  cCodecSIP m_Codecs;
  std::vector<RtpStart> m_RtpStarts;
  std::vector<std::string> m_RtpStops;
  std::vector<std::string> m_PresenceNotifies;
  std::deque<std::string> m_Outbox;
  std::vector<std::string> m_Sent;

 private:
  cSIPCall* m_pLine = nullptr;
};

// Moves messages back and forth until both sides are quiet; answers how many were moved.
int Exchange(FakeAgent& a, FakeAgent& b);
