#pragma once

#include <cstdint>

// The SIP response status codes this agent sends or acts on, and the bounds of the final
// non-success classes (redirection up to global failure).
enum SipStatus : int32_t {
  kSipTrying = 100,
  kSipRinging = 180,
  kSipSessionProgress = 183,
  kSipOk = 200,
  kSipAccepted = 202,
  kSipFirstRedirection = 300,
  kSipLastRedirection = 399,
  kSipUnauthorized = 401,
  kSipForbidden = 403,
  kSipMethodNotAllowed = 405,
  kSipProxyAuthenticationRequired = 407,
  kSipRequestTimeout = 408,
  kSipBadExtension = 420,
  kSipTemporarilyUnavailable = 480,
  kSipCallDoesNotExist = 481,
  kSipBusyHere = 486,
  kSipRequestTerminated = 487,
  kSipNotAcceptableHere = 488,
  kSipBadEvent = 489,
  kSipRequestPending = 491,
  kSipServiceUnavailable = 503,
  kSipLastStatus = 699,
};
