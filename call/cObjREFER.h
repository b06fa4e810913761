#pragma once

#include <cstdint>

#include "util/cKytNoCopy.h"
#include "util/cKytSTR.h"

class cMsgSIP;
class cSIPCall;

// Transfers a connected call by REFER inside its dialog: blind (target only) or attended (with the
// Replaces value naming the dialog the target is to replace). Every digest challenge is answered.
class cObjREFER : private cKytNoCopy {
 public:
  // False only when the request could not be built.
  bool SendReqREFER(const cKytSTR& referToURI, const cKytSTR& replaces, cSIPCall* pCall);
  void OnRepREFER(const cMsgSIP& response, const cKytSTR& loginId, const cKytSTR& password,
                  cSIPCall* pCall);

 private:
  cKytSTR m_pREFER_ToURI;
  cKytSTR m_pREFER_Replace;
  cKytSTR m_pLastSendReqREFER;
};
