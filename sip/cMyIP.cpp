#include "sip/cMyIP.h"

#include "platform/cNetInterfaces.h"

namespace {

bool StartsWith(const cKytSTR& ip, const char* pPrefix) {
  return cKytSTR::StrFind(ip.GetDATA(), pPrefix) == 0;
}

}  // namespace

void cMyIP::GetMyIPList(cKytListSTR& list) const {
  const std::vector<std::string> addresses =
      m_Addresses ? *m_Addresses : cNetInterfaces::GetIPv4Addresses();
  for (const std::string& address : addresses) list.AddTailSTR(address.c_str());
}

bool cMyIP::IsPublicIP(const cKytSTR& ip) {
  for (const char* pPrefix : {"192.", "172.", "127.", "169.", "10."}) {
    if (StartsWith(ip, pPrefix)) return false;
  }
  return true;
}

bool cMyIP::IsLANIP(const cKytSTR& ip) {
  return StartsWith(ip, "192.") || StartsWith(ip, "172.") || StartsWith(ip, "10.");
}

bool cMyIP::Is169IP(const cKytSTR& ip) { return StartsWith(ip, "169."); }

void cMyIP::GetMyIP(cKytSTR& result) const {
  cKytListSTR list;
  GetMyIPList(list);
  if (list.GetCount() == 0) {
    result = "127.0.0.1";
    return;
  }
  for (bool (*pTest)(const cKytSTR&) : {&IsPublicIP, &IsLANIP, &Is169IP}) {
    cKytSTR ip;
    for (int32_t i = 0; list.GetAt(i, ip); ++i) {
      if (pTest(ip)) {
        result = ip;
        return;
      }
    }
  }
}
