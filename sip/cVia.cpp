#include "sip/cVia.h"

#include "sip/cTextSIP.h"

namespace {

constexpr const char* kMarker = "sip/2.0/udp ";
constexpr uint32_t kMarkerLen = 12;

}  // namespace

void cVia::Construct(const cKytSTR& host, int32_t nPort, const cKytSTR& branch, cKytSTR& value) {
  value.Format("SIP/2.0/UDP %s:%d;rport;branch=%s", host.GetDATA(), nPort, branch.GetDATA());
}

bool cVia::Parse(const cKytSTR& value, cKytSTR& host, int32_t& nPort, cKytSTR& branch) {
  if (!GetHostPort(value, host, nPort)) return false;
  GetBranch(value, branch);
  return true;
}

bool cVia::GetHostPort(const cKytSTR& value, cKytSTR& host, int32_t& nPort) {
  const cKytSTR lower = cTextSIP::Lower(value);
  uint32_t nMarker = lower.FindSTR(kMarker);
  if (nMarker == cKytSTR::KYT_NOT_FOUND) return false;
  uint32_t nStart = nMarker + kMarkerLen;
  // The sent-by part ends at the first parameter; a colon further on belongs to a parameter.
  uint32_t nEnd = lower.FindSTR(";", nStart);
  if (nEnd == cKytSTR::KYT_NOT_FOUND) nEnd = lower.GetLEN();
  uint32_t nColon = lower.FindSTR(":", nStart);
  if (nColon != cKytSTR::KYT_NOT_FOUND && nColon < nEnd) {
    cTextSIP::Mid(lower, nStart, nColon, host);
    cKytSTR port;
    cTextSIP::Mid(lower, nColon + 1, nEnd, port);
    nPort = cTextSIP::ToInt(port.GetDATA());
  } else {
    cTextSIP::Mid(lower, nStart, nEnd, host);
    nPort = 5060;
  }
  return true;
}

bool cVia::GetBranch(const cKytSTR& value, cKytSTR& branch) {
  const cKytSTR lower = cTextSIP::Lower(value);
  uint32_t nAt = lower.FindSTR("branch=");
  if (nAt == cKytSTR::KYT_NOT_FOUND) return false;
  uint32_t nStart = nAt + 7;
  uint32_t nEnd = lower.FindSTR(";", nStart);
  cTextSIP::Mid(lower, nStart, nEnd == cKytSTR::KYT_NOT_FOUND ? lower.GetLEN() : nEnd, branch);
  return true;
}
