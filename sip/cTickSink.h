#pragma once

#include <cstdint>

#include "util/cKytSTR.h"

// What a cTick asks of its owner (the call object): send a request again, or end the
// transaction whose time is up.
class cTickSink {
 public:
  virtual ~cTickSink() = default;
  virtual void OnTickEvent(int32_t nTickId, const cKytSTR& text, const cKytSTR& toIP,
                           int32_t nToPort) = 0;
  virtual void OnTickEventTimeOut(int32_t nTickId) = 0;
};
