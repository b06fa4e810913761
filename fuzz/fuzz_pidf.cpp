// A presence document from a NOTIFY body, read to the contact's status; and the Subscription-State
// values beside it.

#include <cstdint>
#include <string>

#include "chat/cChatContact.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  const std::string text(reinterpret_cast<const char*>(pData), nSize);
  cChatContact::PIDFToStatus(text.c_str());
  cChatContact::IsTerminated(text.c_str());
  return 0;
}
