// A URI as a header, a page or a setting gives it: every reader of cURI on it, and the text
// written from what was read. A URI a page may give (IsSipURI) written out as From or To reads
// back to the same display name, user, host and port; the writer takes a display name given
// with its double quotes as that name, so quotes at its ends are compared without, and a user
// is read as written on the wire, so it comes back escaped (cQuoteSIP::EscapeUser).

#include <cstdint>
#include <cstdlib>
#include <string>

#include "sip/cQuoteSIP.h"
#include "sip/cURI.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  const std::string text(reinterpret_cast<const char*>(pData), nSize);
  const cKytSTR uri = text.c_str();
  cKytSTR display, user, host, maddr, working, tag, adjusted, to, requestURI, written;
  int32_t nPort = 0;
  cURI::Parse(uri, display, user, host, nPort, maddr);
  cKytListSTR names, values;
  if (cURI::ParseURI(uri, host, nPort, user, display, &names, &values))
    cURI::ConstructURI(display, user, host, nPort, &names, &values, written);
  cURI::PrepareParseURI(uri, working);
  cURI::IsSipURI(uri);
  cURI::GetTag(uri, tag);
  cURI::AdjustProxyURI(uri, adjusted);
  cURI::PrepareToURI(uri, to);
  cURI::PrepareRequestURI(uri, requestURI);
  if (!cURI::IsSipURI(uri)) return 0;
  cURI::Parse(uri, display, user, host, nPort);
  cURI::Construct(display, user, host, nPort, written);
  display.Trim("\"");
  cQuoteSIP::EscapeUser(cKytSTR(user), user);
  cKytSTR displayBack, userBack, hostBack;
  int32_t nPortBack = 0;
  if (!cURI::Parse(written, displayBack, userBack, hostBack, nPortBack) ||
      !displayBack.CompareTo(display.GetDATA()) || !userBack.CompareTo(user.GetDATA()) ||
      !hostBack.CompareTo(host.GetDATA()) || nPortBack != nPort)
    std::abort();
  return 0;
}
