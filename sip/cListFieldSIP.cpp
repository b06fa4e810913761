#include "sip/cListFieldSIP.h"

namespace {

struct FieldName {
  const char* pWritten;
  const char* pCompact;  // null when the header has no compact form
};

constexpr FieldName kFields[cListFieldSIP::FIELD_COUNT] = {
    {"Via", "v"},
    {"Record-Route", nullptr},
    {"Route", nullptr},
    {"From", "f"},
    {"To", "t"},
    {"Call-ID", "i"},
    {"CSeq", nullptr},
    {"Contact", "m"},
    {"Max-Forwards", nullptr},
    {"Content-Type", "c"},
    {"User-Agent", nullptr},
    {"Expires", nullptr},
    {"Allow", nullptr},
    {"Proxy-Authenticate", nullptr},
    {"Proxy-Authorization", nullptr},
    {"Authorization", nullptr},
    {"WWW-Authenticate", nullptr},
    {"Refer-To", nullptr},
    {"Referred-By", nullptr},
    {"Content-Length", "l"},
    {"Accept", nullptr},
    {"Event", "o"},
    {"Subscription-State", nullptr},
};

}  // namespace

bool cListFieldSIP::IndexToField(int32_t nIndex, cKytSTR& field) {
  if (nIndex < 0 || nIndex >= FIELD_COUNT) return false;
  field = kFields[nIndex].pWritten;
  return true;
}

int32_t cListFieldSIP::FieldToIndex(const char* pName) {
  // The written spellings, lowered, are exactly the accepted full names.
  for (int32_t i = 0; i < FIELD_COUNT; ++i) {
    if (cKytSTR::StrEqualNoCase(pName, kFields[i].pWritten)) return i;
    if (kFields[i].pCompact && cKytSTR::StrEqualNoCase(pName, kFields[i].pCompact)) return i;
  }
  return -1;
}
