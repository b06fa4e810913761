#include "sip/cListFieldSIP.h"

#include <cstddef>
#include <cstring>
#include <string>

namespace {

struct FieldName {
  constexpr FieldName(const char* pName, const char* pShort)
      : pWritten(pName), nWritten(std::char_traits<char>::length(pName)), pCompact(pShort) {}

  const char* pWritten;
  size_t nWritten;
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

char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// pName's first nLength bytes against a written name of that length, without case.
bool SameNoCase(const char* pName, const char* pWritten, size_t nLength) {
  for (size_t i = 0; i < nLength; ++i) {
    if (AsciiLower(pName[i]) != AsciiLower(pWritten[i])) return false;
  }
  return true;
}

}  // namespace

bool cListFieldSIP::IndexToField(int32_t nIndex, cKytSTR& field) {
  if (nIndex < 0 || nIndex >= FIELD_COUNT) return false;
  field = kFields[nIndex].pWritten;
  return true;
}

int32_t cListFieldSIP::FieldToIndex(const char* pName) {
  // Header names compare without case. Only names of the same length are compared byte by byte,
  // so a lookup costs a pass over the table's lengths and about one comparison. A name longer
  // than any accepted one cannot match.
  const size_t nLength = strnlen(pName, kMaxNameLength + 1);
  if (nLength == 0 || nLength > kMaxNameLength) return -1;
  for (int32_t nRow = 0; nRow < FIELD_COUNT; ++nRow) {
    const FieldName& field = kFields[nRow];
    if (nLength == 1) {
      if (field.pCompact != nullptr && AsciiLower(pName[0]) == field.pCompact[0]) return nRow;
    } else if (field.nWritten == nLength && SameNoCase(pName, field.pWritten, nLength)) {
      return nRow;
    }
  }
  return -1;
}
