#pragma once

#include <cstdint>

#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

class cMsgSIP;
class cSIPCall;

// Withdraws an outgoing INVITE that has no final answer yet, and answers the other side's CANCEL
// of a call that is ringing here.
class cObjCANCEL : private cKytNoCopy {
 public:
  bool SendReqCANCEL(cSIPCall* pCall, const cKytSTR& inviteBranch, int32_t& nError);
  void OnReqCANCEL(const cMsgSIP& request, cSIPCall* pCall, const cKytSTR& lastInviteText);
  void OnRepCANCEL(const cMsgSIP& response, cSIPCall* pCall);
};
