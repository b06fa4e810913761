#pragma once

#include <cstdint>

#include "util/cKytSTR.h"

// The seven SDP line letters this agent reads and writes, in the order they are written.
class cListFieldSDP {
 public:
  enum eField : int32_t {
    FIELD_V,
    FIELD_O,
    FIELD_S,
    FIELD_C,
    FIELD_T,
    FIELD_M,
    FIELD_A,
    FIELD_COUNT
  };

  // The one-letter name of a row; false outside 0..6.
  static bool IndexToField(int32_t nIndex, cKytSTR& name);
  // The row of a one-letter name (case-sensitive); -1 for anything else.
  static int32_t FieldToIndex(const char* pName);

 private:
  static const char m_cFieldNameSDP[FIELD_COUNT + 1];
};
