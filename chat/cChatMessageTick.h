#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>

#include "chat/cChatMessageTickData.h"
#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

// Retransmission of the MESSAGE requests in flight, one entry per message key, counted in the
// ticks of the user agent along cTxSchedule::ChatRequest: resent at the 1st, 3rd, 5th, 7th and
// 9th tick after sending, timed out at the 10th.
class cChatMessageTick : private cKytNoCopy {
 public:
  virtual ~cChatMessageTick();

  size_t GetTickCount() const { return m_pMessageTickData.size(); }

 protected:
  cChatMessageTick() = default;

  // Arms the entry's schedule and keeps it under its key, replacing one with the same key.
  // bStream: the request went over a stream, so it is only given up, never resent.
  void SetTick(std::unique_ptr<cChatMessageTickData> pData, bool bStream = false);
  cChatMessageTickData* FindTick(const cKytSTR& key);
  std::unique_ptr<cChatMessageTickData> RemoveTick(const cKytSTR& key);

  // Once a second. Resends and time-outs are collected first and acted on afterwards, so that
  // what they set off (a response delivered at once, a new message sent from inside an event)
  // may change the entries freely.
  void OnMessageTick();

  virtual void OnTickEvent(const cKytSTR& text, const cKytSTR& toIP, int32_t nToPort) = 0;
  virtual void OnTickEventTimeOut(const cChatMessageTickData& data) = 0;

 private:
  std::map<std::string, std::unique_ptr<cChatMessageTickData>> m_pMessageTickData;
};
