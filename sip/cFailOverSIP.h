#pragma once

#include <cstdint>

class cKytCoreSink;

// One rule for every request that starts something outside a dialog (REGISTER, the first INVITE
// of a call, MESSAGE, the first SUBSCRIBE): when its server answers 503 or its client transaction
// times out before anything was heard, the same request goes anew to the next server of the
// destination (RFC 3263 section 4.3). Requests inside a dialog follow their route set and never
// come here.
class cFailOverSIP {
 public:
  // The status a caller passes for a client transaction that timed out unanswered.
  static constexpr int32_t kTimedOut = -1;

  // True when nStatus calls for another server and the sink moved its send path on to one; the
  // caller then sends its request again as a new transaction. False when the outcome is final
  // or no server is left: the caller reports the failure as it would without fail-over.
  static bool NextServer(cKytCoreSink* pSink, int32_t nStatus);
};
