#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>

#include "chat/cChatMessageTick.h"
#include "chat/cDataMESSAGE.h"
#include "util/cKytSTR.h"

class cChatSIP;
class cMsgSIP;
class cObjMESSAGE;

// Page-mode instant messages and typing notifications: sends them with retransmission and
// reports each outcome with the caller's value; answers received ones at once, drops copies
// seen in the last 120 seconds and reports the rest.
class cChatMessage : public cChatMessageTick {
 public:
  // Bounds the duplicate filter against a peer that floods us with distinct messages; when full
  // the oldest entry goes first.
  static constexpr size_t kMaxDataMESSAGE = 1024;

  static constexpr const char* kTimeOutText = "Fail to send msg (time out)";
  static constexpr const char* kTimeOutTyping = "Fail to send compose/typing (time out)";

  explicit cChatMessage(cChatSIP* pChatSIP);
  ~cChatMessage() override;

  // kind 101 sends text/plain, any other text/html.
  bool SendMsgText(const cKytSTR& userName, const cKytSTR& text, int32_t nKind, int32_t nUserValue);
  bool SendMsgTyping(const cKytSTR& userName, int32_t nUserValue);
  void OnReqMESSAGE(const cMsgSIP& request);
  void OnRepMESSAGE(const cMsgSIP& response);
  void OnOneSecondTick();
  // A new session: new Call-ID and From tag for the next message.
  void ResetOBJ();

  int32_t GetObjectError() const { return m_nObjectError; }
  size_t GetFilterCount() const { return m_pMapDataMESSAGE.size(); }

 protected:
  void OnTickEvent(const cKytSTR& text, const cKytSTR& toIP, int32_t nToPort) override;
  void OnTickEventTimeOut(const cChatMessageTickData& data) override;

 private:
  bool SendReqMESSAGE(const cKytSTR& userName, const cKytSTR& authorization,
                      const cKytSTR& proxyAuthorization, const cKytSTR& text, int32_t nKind,
                      int32_t nUserValue, int32_t nAuthCount);
  // The same message as a new transaction to the next server, after a time-out
  // (cFailOverSIP::kTimedOut) or a 503; false when there is none or nothing could be sent.
  bool RetryElsewhere(const cChatMessageTickData& data, int32_t nStatus);
  // False when the key is already in the filter; otherwise it is added.
  bool RememberMESSAGE(const cKytSTR& key);
  void AgeDataMESSAGE();
  void ReportSuccess(const cChatMessageTickData& data) const;
  void ReportFail(const cChatMessageTickData& data, int32_t nStatusCode,
                  const cKytSTR& reason) const;

  cChatSIP* m_pChatSIP;  // not owned
  std::unordered_map<std::string, cDataMESSAGE> m_pMapDataMESSAGE;
  // The filter's keys from oldest to newest; all live equally long, so this is also the order
  // in which they run out.
  std::deque<std::string> m_OrderDataMESSAGE;
  std::unique_ptr<cObjMESSAGE> m_pObjMESSAGE;
  int32_t m_nObjectError = 0;
};
