#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "useragent/cKytSIPUserAgentLib.h"

namespace kyttest {

// A facade that writes down every event it hears, one line per event ("OnFailToRegisterEx 403
// Forbidden"), and lets a test look at the agent from inside an event.
class cRecordingLib : public cKytSIPUserAgentLib {
 public:
  explicit cRecordingLib(cMainLoop* pLoop) : cKytSIPUserAgentLib(pLoop) {}

  std::vector<std::string> m_Events;
  // Runs at the start of every recorded event (before it is written down).
  std::function<void(const std::string& name)> m_OnEvent;

  void OnTryingToRegister() override { Add("OnTryingToRegister"); }
  void OnSuccessToRegister() override { Add("OnSuccessToRegister"); }
  void OnFailToRegister() override { Add("OnFailToRegister"); }
  void OnFailToRegisterEx(int32_t nCode, const char* pReason) override {
    Add("OnFailToRegisterEx", std::to_string(nCode) + " " + pReason);
  }
  void OnTryingToReRegister() override { Add("OnTryingToReRegister"); }
  void OnSuccessToReRegister() override { Add("OnSuccessToReRegister"); }
  void OnFailToReRegister() override { Add("OnFailToReRegister"); }
  void OnFailToReRegisterEx(int32_t nCode, const char* pReason) override {
    Add("OnFailToReRegisterEx", std::to_string(nCode) + " " + pReason);
  }
  void OnTryingToUnRegister() override { Add("OnTryingToUnRegister"); }
  void OnSuccessToUnRegister() override { Add("OnSuccessToUnRegister"); }
  void OnFailToUnRegister(int32_t nCode, const char* pReason) override {
    Add("OnFailToUnRegister", std::to_string(nCode) + " " + pReason);
  }
  void OnConnecting(int32_t nLine) override { Add("OnConnecting", std::to_string(nLine)); }
  void OnSuccessToConnect(int32_t nLine, const char* pIP, int32_t nPort,
                          const char* pCallId) override {
    Add("OnSuccessToConnect",
        std::to_string(nLine) + " " + pIP + " " + std::to_string(nPort) + " " + pCallId);
  }
  void OnFailToConnect(int32_t nLine) override { Add("OnFailToConnect", std::to_string(nLine)); }
  void OnDisconnectCall(int32_t nLine) override { Add("OnDisconnectCall", std::to_string(nLine)); }
  void OnIncomingCall(const char* pCallId, const char* pDisplay, const char* pUser,
                      const char* pCaller, const char* pCallee) override {
    Add("OnIncomingCall",
        std::string(pCallId) + " " + pDisplay + " " + pUser + " " + pCaller + " " + pCallee);
  }
  void OnIncomingCallRingingStart(const char* pCallId) override {
    Add("OnIncomingCallRingingStart", pCallId);
  }
  void OnIncomingCallRingingStop(const char* pCallId) override {
    Add("OnIncomingCallRingingStop", pCallId);
  }
  void OnProvisionalResponse(int32_t nLine, int32_t nCode, const char* pReason) override {
    Add("OnProvisionalResponse", LineCode(nLine, nCode, pReason));
  }
  void OnRedirectionResponse(int32_t nLine, int32_t nCode, const char* pReason,
                             const char* pContact) override {
    Add("OnRedirectionResponse", LineCode(nLine, nCode, pReason) + " " + pContact);
  }
  void OnRequestFailureResponse(int32_t nLine, int32_t nCode, const char* pReason) override {
    Add("OnRequestFailureResponse", LineCode(nLine, nCode, pReason));
  }
  void OnServerFailureResponse(int32_t nLine, int32_t nCode, const char* pReason) override {
    Add("OnServerFailureResponse", LineCode(nLine, nCode, pReason));
  }
  void OnGeneralFailureResponse(int32_t nLine, int32_t nCode, const char* pReason) override {
    Add("OnGeneralFailureResponse", LineCode(nLine, nCode, pReason));
  }
  void OnTryingToHold(int32_t nLine) override { Add("OnTryingToHold", std::to_string(nLine)); }
  void OnSuccessToHold(int32_t nLine) override { Add("OnSuccessToHold", std::to_string(nLine)); }
  void OnFailToHold(int32_t nLine) override { Add("OnFailToHold", std::to_string(nLine)); }
  void OnTryingToUnHold(int32_t nLine) override { Add("OnTryingToUnHold", std::to_string(nLine)); }
  void OnSuccessToUnHold(int32_t nLine) override {
    Add("OnSuccessToUnHold", std::to_string(nLine));
  }
  void OnFailToUnHold(int32_t nLine) override { Add("OnFailToUnHold", std::to_string(nLine)); }
  void OnCallTransferAccepted(int32_t nLine) override {
    Add("OnCallTransferAccepted", std::to_string(nLine));
  }
  void OnFailToTransfer(int32_t nLine, int32_t nCode, const char* pReason) override {
    Add("OnFailToTransfer", LineCode(nLine, nCode, pReason));
  }
  void OnChatContactStatus(const char* pContact, int32_t nStatus) override {
    Add("OnChatContactStatus", std::string(pContact) + " " + std::to_string(nStatus));
  }
  void OnChatSendMsgTextSuccess(const char* pTo, const char* pText, int32_t nNumber) override {
    Add("OnChatSendMsgTextSuccess", std::string(pTo) + " " + pText + " " + std::to_string(nNumber));
  }
  void OnChatSendMsgTextFail(const char* pTo, int32_t nCode, const char* pReason, const char* pText,
                             int32_t nNumber) override {
    Add("OnChatSendMsgTextFail", std::string(pTo) + " " + std::to_string(nCode) + " " + pReason +
                                     " " + pText + " " + std::to_string(nNumber));
  }
  void OnChatSendMsgTypingSuccess(const char* pTo, int32_t nNumber) override {
    Add("OnChatSendMsgTypingSuccess", std::string(pTo) + " " + std::to_string(nNumber));
  }
  void OnChatSendMsgTypingFail(const char* pTo, int32_t nCode, const char* pReason,
                               int32_t nNumber) override {
    Add("OnChatSendMsgTypingFail", std::string(pTo) + " " + std::to_string(nCode) + " " + pReason +
                                       " " + std::to_string(nNumber));
  }
  void OnChatRecvMsgText(const char* pFrom, const char* pText) override {
    Add("OnChatRecvMsgText", std::string(pFrom) + " " + pText);
  }
  void OnChatRecvMsgTypingStart(const char* pFrom) override {
    Add("OnChatRecvMsgTypingStart", pFrom);
  }
  void OnChatRecvMsgTypingStop(const char* pFrom) override {
    Add("OnChatRecvMsgTypingStop", pFrom);
  }
  void OnIncomingDiagnostic(const char* pMsg, const char* pAddr, int32_t nPort) override {
    Add("OnIncomingDiagnostic", std::string(pAddr) + ":" + std::to_string(nPort) + " " + pMsg);
  }
  void OnOutgoingDiagnostic(const char* pMsg, const char* pAddr, int32_t nPort) override {
    Add("OnOutgoingDiagnostic", std::string(pAddr) + ":" + std::to_string(nPort) + " " + pMsg);
  }
  void OnDetectedAMD(int32_t nLine, bool bDetected) override {
    Add("OnDetectedAMD", std::to_string(nLine) + (bDetected ? " 1" : " 0"));
  }
  void OnPlayWaveDone(int32_t nLine) override { Add("OnPlayWaveDone", std::to_string(nLine)); }

  // The events that start with sPrefix: whether any, how many, the first one ("" when none).
  bool Heard(const std::string& sPrefix) const;
  size_t Count(const std::string& sPrefix) const;
  std::string EventText(const std::string& sPrefix) const;
  // Every event, each ended by a newline, for failure messages.
  std::string All() const;

 private:
  static std::string LineCode(int32_t nLine, int32_t nCode, const char* pReason) {
    return std::to_string(nLine) + " " + std::to_string(nCode) + " " + pReason;
  }
  void Add(const std::string& sName, const std::string& sArgs = "");
};

}  // namespace kyttest
