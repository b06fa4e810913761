#pragma once

#include <cstdint>

#include "util/cKytSTR.h"

// A received MESSAGE remembered by the duplicate filter for a while.
struct cDataMESSAGE {
  static constexpr int32_t kLifeSeconds = 120;

  int32_t m_nDeleteTickCount = kLifeSeconds;  // seconds left
  cKytSTR m_pUniqueKey;                       // "CSeq number-Call-ID"
};
