#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "call/cCloseCallData.h"
#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

class cCallSink;
class cKytEventSink;
class cSIPCall;

// Every call of the user agent, by Call-ID. A closed call stays findable for a while (so that late
// retransmissions still meet their dialog) and is destroyed by the second sweep that sees it.
class cCallPool : private cKytNoCopy {
 public:
  static constexpr int32_t SWEEP_INTERVAL = 20;  // a sweep on every 21st tick

  cCallPool();
  ~cCallPool();

  // The call with this Call-ID, created when there is none (an empty Call-ID gets a new one).
  cSIPCall* CreateCall(const cKytSTR& callId, cCallSink* pCallSink, cKytEventSink* pKytEventObj);
  cSIPCall* FindCall(const cKytSTR& callId) const;
  // Unbinds the call from its line and queues it for destruction; it stays findable until then.
  void CloseCall(const cKytSTR& callId);
  bool IsClosing(const cKytSTR& callId) const;
  int32_t GetCallCount() const { return static_cast<int32_t>(m_pCallList.size()); }
  // Incoming calls still ringing, not yet on their way out.
  int32_t GetRingingInCount() const;
  // The session ends: every live call says goodbye to its far end (BYE, CANCEL or 480) and leaves
  // the pool, so that nothing of it reaches a later session. The calls are destroyed by the next
  // EndAll (or with the pool): one of them may be the caller of the shutdown.
  void EndAll();
  // Once a second: the seconds of incoming calls that ring on no line yet, and the destruction
  // sweep.
  void OnOneSecondTick();

 private:
  std::unordered_map<std::string, std::unique_ptr<cSIPCall>> m_pCallList;
  std::unordered_map<std::string, std::unique_ptr<cCloseCallData>> m_pCloseList;
  std::vector<std::unique_ptr<cSIPCall>> m_pRetired;
  int32_t m_nSecondCount = 0;
};
