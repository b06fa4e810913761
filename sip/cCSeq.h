#pragma once

#include <cstdint>

#include "util/cKytSTR.h"

// CSeq header values. Stateless.
class cCSeq {
 public:
  // "number method"
  static void Construct(const cKytSTR& method, int32_t nNumber, cKytSTR& value);
  // Splits at the first space: number text before, method after. False without a space.
  static bool Parse(const cKytSTR& value, cKytSTR& method, cKytSTR& number);
};
