#pragma once

#include <cstdint>

#include "util/cKytSTR.h"

// The seven SDP line letters this agent reads and writes, in the order they are written.
class cListFieldSDP {
 public:
  static constexpr int32_t FIELD_COUNT = 7;
  static constexpr int32_t FIELD_V = 0;
  static constexpr int32_t FIELD_O = 1;
  static constexpr int32_t FIELD_S = 2;
  static constexpr int32_t FIELD_C = 3;
  static constexpr int32_t FIELD_T = 4;
  static constexpr int32_t FIELD_M = 5;
  static constexpr int32_t FIELD_A = 6;

  // The one-letter name of a row; false outside 0..6.
  static bool IndexToField(int32_t nIndex, cKytSTR& name);
  // The row of a one-letter name (case-sensitive); -1 for anything else.
  static int32_t FieldToIndex(const char* pName);

 private:
  static const char m_cFieldNameSDP[FIELD_COUNT + 1];
};
