#pragma once

#include <cstdint>

#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

class cMsgSIP;
class cSIPCall;

// Ends a connected call with BYE (answering every digest challenge to it) and answers the other
// side's BYE.
class cObjBYE : private cKytNoCopy {
 public:
  bool SendReqBYE(cSIPCall* pCall, int32_t& nError);
  void OnReqBYE(const cMsgSIP& request, cSIPCall* pCall);
  void OnRepBYE(const cMsgSIP& response, const cKytSTR& loginId, const cKytSTR& password,
                cSIPCall* pCall);

 private:
  cKytSTR m_pLastSendReqBYE;
};
