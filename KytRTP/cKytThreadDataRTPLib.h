#pragma once

#include <cstdint>

#include "util/cKytSTR.h"

// The parameter block of one call marshalled onto the media thread. A new block is all zero:
// a field the caller does not set reads as 0, false or empty on the media thread.
struct cKytThreadDataRTPLib {
  int32_t m_nParamA = 0;
  int32_t m_nParamB = 0;
  int32_t m_nParamC = 0;
  int32_t m_nParamD = 0;
  bool m_bParamA = false;
  bool m_bParamB = false;
  cKytSTR m_pParamA;
  cKytSTR m_pResult;
  int32_t m_nResult = 0;
  bool m_bResult = false;
};
