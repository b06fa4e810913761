// What a page sends the bridge: the body of a new session and of a script call (each parsed or
// refused with a reason), the Authorization header, the event a stream resumes after, and the
// Host, Origin and Sec-Fetch-Site headers the guard judges. The input is the body; its first line
// also stands for each header.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "bridge/cBridgeGuard.h"
#include "bridge/cBridgeRequest.h"
#include "host/cJsValue.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  const std::string body(reinterpret_cast<const char*>(pData), nSize);
  const std::string header = body.substr(0, body.find('\n'));
  std::string error, name;
  cNPPage::tAttributes attributes;
  if (!cBridgeRequest::ParseCreate(body, {{"audio", "virtual"}, {"mic", ""}, {"speaker", ""}},
                                   &attributes, &error) &&
      error.empty())
    std::abort();
  cNPPage::tArgs args;
  if (cBridgeRequest::ParseCall(body, &name, &args, &error)) {
    if (args.size() > cBridgeRequest::kMaxArgs) std::abort();
    cJsValue::ToJSON(args);
  } else if (error.empty()) {
    std::abort();
  }
  cBridgeRequest::BearerToken(header);
  cBridgeRequest::EventNumber(header);
  static const cBridgeGuard s_Guard(8089, {"https://example.org"}, false);
  s_Guard.IsHostAllowed(header);
  s_Guard.IsOriginAllowed(header, true, "");
  s_Guard.IsOriginAllowed("", false, header);
  return 0;
}
