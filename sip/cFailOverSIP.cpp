#include "sip/cFailOverSIP.h"

#include "sip/SipStatus.h"
#include "sip/cKytCoreSink.h"

bool cFailOverSIP::NextServer(cKytCoreSink* pSink, int32_t nStatus) {
  if (nStatus != kTimedOut && nStatus != kSipServiceUnavailable) return false;
  return pSink != nullptr && pSink->FailOverToNextServer();
}
