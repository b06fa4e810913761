// A URI as a header, a page or a setting gives it: every reader of cURI on it, and the text
// written from what was read.

#include <cstdint>
#include <string>

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
  return 0;
}
