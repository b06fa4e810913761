#pragma once

#include "util/cKytSTR.h"

// A closed call waiting in the pool for its destruction sweep.
class cCloseCallData {
 public:
  explicit cCloseCallData(const cKytSTR& callId) : m_pCallId(callId) {}

  cKytSTR m_pCallId;
  bool m_bDestroy = false;  // set by the first sweep that sees it; the next sweep destroys
};
