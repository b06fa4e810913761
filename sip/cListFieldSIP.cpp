#include "sip/cListFieldSIP.h"

#include <cctype>
#include <cstddef>

#include "util/cKytHashSTR.h"

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
    {"Require", nullptr},
    {"Unsupported", nullptr},
};

constexpr size_t kMaxNameLength = 32;

// Every accepted name (written and compact forms, lowered) to its row. Built once, on first use;
// never written afterwards, so parsers on any thread may read it.
const cKytHashSTR& FieldTable() {
  static cKytHashSTR table(64);
  static const bool bFilled = [] {
    for (const FieldName& field : kFields) {
      void* pRow = const_cast<FieldName*>(&field);
      cKytSTR written(field.pWritten);
      written.MakeLower();
      table.Add(written.GetDATA(), pRow);
      if (field.pCompact != nullptr) table.Add(field.pCompact, pRow);
    }
    return true;
  }();
  static_cast<void>(bFilled);
  return table;
}

}  // namespace

bool cListFieldSIP::IndexToField(int32_t nIndex, cKytSTR& field) {
  if (nIndex < 0 || nIndex >= FIELD_COUNT) return false;
  field = kFields[nIndex].pWritten;
  return true;
}

int32_t cListFieldSIP::FieldToIndex(const char* pName) {
  // Header names compare without case: the table holds them lowered, and so is the name asked
  // for. A name longer than any accepted one cannot match.
  char lowered[kMaxNameLength + 1];
  size_t nLength = 0;
  for (; pName[nLength] != '\0'; ++nLength) {
    if (nLength == kMaxNameLength) return -1;
    lowered[nLength] = static_cast<char>(std::tolower(static_cast<unsigned char>(pName[nLength])));
  }
  lowered[nLength] = '\0';
  void* pRow = nullptr;
  if (!FieldTable().Find(lowered, pRow)) return -1;
  return static_cast<int32_t>(static_cast<const FieldName*>(pRow) - kFields);
}
