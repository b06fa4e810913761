#include "sip/cVia.h"

#include <cctype>
#include <iterator>
#include <string>

#include "sip/cTextSIP.h"

namespace {

// "sip/2.0/udp ", "sip/2.0/tcp " or "sip/2.0/tls ": the same length each.
constexpr const char* kMarkers[] = {"sip/2.0/udp ", "sip/2.0/tcp ", "sip/2.0/tls "};
constexpr uint32_t kMarkerLen = 12;

// Where the first marker of a transport we speak stands in a lower-case value.
uint32_t FindMarker(const cKytSTR& lower, size_t* pWhich = nullptr) {
  uint32_t nBest = cKytSTR::KYT_NOT_FOUND;
  for (size_t i = 0; i < std::size(kMarkers); ++i) {
    const uint32_t nAt = lower.FindSTR(kMarkers[i]);
    if (nAt == cKytSTR::KYT_NOT_FOUND || (nBest != cKytSTR::KYT_NOT_FOUND && nAt >= nBest))
      continue;
    nBest = nAt;
    if (pWhich) *pWhich = i;
  }
  return nBest;
}

// The first via-parm of a value: [nStart, nEnd) is sent-by and its parameters, nSentByEnd
// where the parameters begin.
struct sViaParm {
  uint32_t nStart = 0;
  uint32_t nSentByEnd = 0;
  uint32_t nEnd = 0;
};

// Parameters are read from a Via of any transport; sent-by only from one we speak.
bool FindViaParm(const cKytSTR& lower, sViaParm& parm, bool bAnyTransport = false) {
  const uint32_t nMarker = FindMarker(lower);
  if (nMarker == cKytSTR::KYT_NOT_FOUND && !bAnyTransport) return false;
  parm.nStart = nMarker == cKytSTR::KYT_NOT_FOUND ? 0 : nMarker + kMarkerLen;
  parm.nEnd = lower.FindSTR(",", parm.nStart);
  if (parm.nEnd == cKytSTR::KYT_NOT_FOUND) parm.nEnd = lower.GetLEN();
  parm.nSentByEnd = lower.FindSTR(";", parm.nStart);
  if (parm.nSentByEnd == cKytSTR::KYT_NOT_FOUND || parm.nSentByEnd > parm.nEnd)
    parm.nSentByEnd = parm.nEnd;
  return true;
}

std::string NameOf(const std::string& param) {
  const size_t nEqual = param.find('=');
  std::string name = param.substr(0, nEqual);
  for (char& c : name) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  while (!name.empty() && (name.back() == ' ' || name.back() == '\t')) name.pop_back();
  return name;
}

}  // namespace

void cVia::Construct(const cKytSTR& host, int32_t nPort, const cKytSTR& branch, cKytSTR& value,
                     eTransportSIP transport) {
  const char* pName = transport == eTransportSIP::TCP   ? "TCP"
                      : transport == eTransportSIP::TLS ? "TLS"
                                                        : "UDP";
  value.Format("SIP/2.0/%s %s:%d;rport;branch=%s", pName, host.GetDATA(), nPort, branch.GetDATA());
}

bool cVia::GetTransport(const cKytSTR& value, eTransportSIP& transport) {
  size_t nWhich = 0;
  if (FindMarker(cTextSIP::Lower(value), &nWhich) == cKytSTR::KYT_NOT_FOUND) return false;
  transport = nWhich == 1   ? eTransportSIP::TCP
              : nWhich == 2 ? eTransportSIP::TLS
                            : eTransportSIP::UDP;
  return true;
}

bool cVia::Parse(const cKytSTR& value, cKytSTR& host, int32_t& nPort, cKytSTR& branch) {
  if (!GetHostPort(value, host, nPort)) return false;
  GetBranch(value, branch);
  return true;
}

bool cVia::GetHostPort(const cKytSTR& value, cKytSTR& host, int32_t& nPort) {
  const cKytSTR lower = cTextSIP::Lower(value);
  sViaParm parm;
  if (!FindViaParm(lower, parm)) return false;
  cKytSTR sentBy;
  cTextSIP::Mid(lower, parm.nStart, parm.nSentByEnd, sentBy);
  sentBy.Trim(" ");
  nPort = 5060;
  cTextSIP::SplitHostPort(sentBy, host, nPort);
  return true;
}

bool cVia::GetBranch(const cKytSTR& value, cKytSTR& branch) {
  cKytSTR found;
  if (!GetParam(value, "branch", found)) return false;
  branch = cTextSIP::Lower(found);
  return true;
}

bool cVia::GetParam(const cKytSTR& value, const char* pName, cKytSTR& paramValue) {
  const cKytSTR lower = cTextSIP::Lower(value);
  sViaParm parm;
  FindViaParm(lower, parm, true);
  const std::string params(value.GetDATA() + parm.nSentByEnd, parm.nEnd - parm.nSentByEnd);
  size_t nAt = 0;
  while (nAt < params.size()) {
    size_t nNext = params.find(';', nAt + 1);
    if (nNext == std::string::npos) nNext = params.size();
    const std::string param = params.substr(nAt + 1, nNext - nAt - 1);
    if (NameOf(param) == pName) {
      const size_t nEqual = param.find('=');
      paramValue = nEqual == std::string::npos ? "" : param.substr(nEqual + 1).c_str();
      paramValue.Trim(" ");
      return true;
    }
    nAt = nNext;
  }
  return false;
}

bool cVia::Stamp(const cKytSTR& value, const cKytSTR& sourceIP, int32_t nSourcePort,
                 cKytSTR& stamped) {
  cKytSTR host;
  int32_t nPort = 0;
  if (!GetHostPort(value, host, nPort)) return false;
  const cKytSTR lower = cTextSIP::Lower(value);
  sViaParm parm;
  FindViaParm(lower, parm);
  const std::string text(value.GetDATA());
  // Earlier received and rport parameters give way to what we saw ourselves.
  std::string out = text.substr(0, parm.nSentByEnd);
  const std::string params = text.substr(parm.nSentByEnd, parm.nEnd - parm.nSentByEnd);
  bool bRport = false;
  size_t nAt = 0;
  while (nAt < params.size()) {
    size_t nNext = params.find(';', nAt + 1);
    if (nNext == std::string::npos) nNext = params.size();
    const std::string param = params.substr(nAt + 1, nNext - nAt - 1);
    const std::string name = NameOf(param);
    if (name == "rport") bRport = true;
    if (name != "rport" && name != "received") out += ";" + param;
    nAt = nNext;
  }
  if (bRport || !host.CompareTo(cTextSIP::Lower(sourceIP).GetDATA())) {
    out += ";received=" + std::string(sourceIP.GetDATA());
  }
  if (bRport) out += ";rport=" + std::to_string(nSourcePort);
  out += text.substr(parm.nEnd);
  stamped = out.c_str();
  return true;
}

bool cVia::GetResponseTarget(const cKytSTR& value, cKytSTR& host, int32_t& nPort) {
  if (!GetHostPort(value, host, nPort)) return false;
  cKytSTR param;
  if (GetParam(value, "received", param) && !param.IsZeroLEN()) host = param;
  if (GetParam(value, "rport", param)) {
    const int32_t nRport = cTextSIP::ToInt(param.GetDATA());
    if (nRport > 0 && nRport <= 65535) nPort = nRport;
  }
  return true;
}
