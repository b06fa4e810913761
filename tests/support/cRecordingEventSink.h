#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "sip/cKytEventSink.h"

namespace kyttest {

// An event sink that keeps events as lines of text. Every event only calls OnOtherEvent; a
// test's sink overrides the events it watches and writes each down with Add in its own words.
class cRecordingEventSink : public cKytEventSink {
 public:
  std::vector<std::string> m_Events;
  // Runs after each line is written down, with the line (to act from inside an event).
  std::function<void(const std::string&)> m_OnEvent;

  // The lines that start with sPrefix: how many, whether any.
  size_t Count(const std::string& sPrefix) const;
  bool Has(const std::string& sPrefix) const { return Count(sPrefix) > 0; }
  // Whether exactly this line was written.
  bool Heard(const std::string& sLine) const;
  std::string Last() const { return m_Events.empty() ? "" : m_Events.back(); }
  // Every line, each ended by a newline, for failure messages.
  std::string All() const;

  void OnTryingToRegister() override { OnOtherEvent(); }
  void OnSuccessToRegister() override { OnOtherEvent(); }
  void OnFailToRegister(int32_t, const cKytSTR&) override { OnOtherEvent(); }
  void OnTryingToReRegister() override { OnOtherEvent(); }
  void OnSuccessToReRegister() override { OnOtherEvent(); }
  void OnFailToReRegister(int32_t, const cKytSTR&) override { OnOtherEvent(); }
  void OnTryingToUnRegister() override { OnOtherEvent(); }
  void OnSuccessToUnRegister() override { OnOtherEvent(); }
  void OnFailToUnRegister(int32_t, const cKytSTR&) override { OnOtherEvent(); }
  void OnConnecting(int32_t) override { OnOtherEvent(); }
  void OnTryingToHold(int32_t) override { OnOtherEvent(); }
  void OnTryingToUnHold(int32_t) override { OnOtherEvent(); }
  void OnSuccessToHold(int32_t) override { OnOtherEvent(); }
  void OnSuccessToUnHold(int32_t) override { OnOtherEvent(); }
  void OnFailToHold(int32_t) override { OnOtherEvent(); }
  void OnFailToUnHold(int32_t) override { OnOtherEvent(); }
  void OnFailToConnect(int32_t) override { OnOtherEvent(); }
  void OnDisconnectCall(int32_t) override { OnOtherEvent(); }
  void OnIncomingCall(const cKytSTR&, const cKytSTR&, const cKytSTR&, const cKytSTR&,
                      const cKytSTR&) override {
    OnOtherEvent();
  }
  void OnIncomingCallRingingStart(const cKytSTR&) override { OnOtherEvent(); }
  void OnIncomingCallRingingStop(const cKytSTR&) override { OnOtherEvent(); }
  void OnConnected(int32_t, const cKytSTR&, int32_t, const cKytSTR&) override { OnOtherEvent(); }
  void OnProvisionalResponse(int32_t, int32_t, const cKytSTR&) override { OnOtherEvent(); }
  void OnRequestFailureResponse(int32_t, int32_t, const cKytSTR&) override { OnOtherEvent(); }
  void OnServerFailureResponse(int32_t, int32_t, const cKytSTR&) override { OnOtherEvent(); }
  void OnGeneralFailureResponse(int32_t, int32_t, const cKytSTR&) override { OnOtherEvent(); }
  void OnRedirectResponse(int32_t, int32_t, const cKytSTR&, const cKytSTR&) override {
    OnOtherEvent();
  }
  void OnCallTransferAccepted(int32_t) override { OnOtherEvent(); }
  void OnFailToTransfer(int32_t, int32_t, const cKytSTR&) override { OnOtherEvent(); }
  void OnChatContactStatus(const cKytSTR&, int32_t) override { OnOtherEvent(); }
  void OnChatSendMsgTextSuccess(const cKytSTR&, const cKytSTR&, int32_t) override {
    OnOtherEvent();
  }
  void OnChatSendMsgTextFail(const cKytSTR&, int32_t, const cKytSTR&, const cKytSTR&,
                             int32_t) override {
    OnOtherEvent();
  }
  void OnChatSendMsgTypingSuccess(const cKytSTR&, int32_t) override { OnOtherEvent(); }
  void OnChatSendMsgTypingFail(const cKytSTR&, int32_t, const cKytSTR&, int32_t) override {
    OnOtherEvent();
  }
  void OnChatRecvMsgText(const cKytSTR&, const cKytSTR&) override { OnOtherEvent(); }
  void OnChatRecvMsgTypingStart(const cKytSTR&) override { OnOtherEvent(); }
  void OnChatRecvMsgTypingStop(const cKytSTR&) override { OnOtherEvent(); }
  void OnIncomingDiagnostic(const cKytSTR&, const cKytSTR&, int32_t) override { OnOtherEvent(); }
  void OnOutgoingDiagnostic(const cKytSTR&, const cKytSTR&, int32_t) override { OnOtherEvent(); }
  void OnDetectedAMD(int32_t, bool) override { OnOtherEvent(); }
  void OnPlayWaveDone(int32_t) override { OnOtherEvent(); }

 protected:
  // Writes a line down, then runs m_OnEvent.
  void Add(const std::string& sLine);
  // Every event the subclass does not watch; nothing by default.
  virtual void OnOtherEvent() {}
};

}  // namespace kyttest
