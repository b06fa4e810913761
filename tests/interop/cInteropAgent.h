#pragma once

#include <cstdint>
#include <string>

#include "tests/support/cRecordingLib.h"

// Our user agent as the interop tests drive it: it writes down the events it hears, with every
// SIP text it sends once diagnostics are on, and, when told a line, answers every incoming call
// on that line from inside OnIncomingCall, as a page would.
class cInteropAgent : public kyttest::cRecordingLib {
 public:
  using kyttest::cRecordingLib::cRecordingLib;

  void OnIncomingCall(const char* pCallId, const char* pDisplay, const char* pUser,
                      const char* pCaller, const char* pCallee) override;

  // The last SIP text we sent whose start line begins so ("SIP/2.0 200", "INVITE "), or empty.
  std::string LastSent(const std::string& sStartLine) const;

  int32_t m_nAnswerLine = -1;  // -1: let incoming calls ring
  std::string m_sIncomingCallId;
  bool m_bAccepted = false;
};
