#pragma once
#include "util/cKytNoCopy.h"

class cMsgSIP;
class cSIPCall;

// NOTIFY requests inside a call's dialog: the progress of a transfer this side asked for, as a
// sipfrag status line. A final 200 ends the transferred call here; a failure is reported.
class cObjNOTIFY : private cKytNoCopy {
 public:
  void OnReqNOTIFY(const cMsgSIP& request, cSIPCall* pCall);
};
