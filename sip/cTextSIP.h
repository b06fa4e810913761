#pragma once

#include <cstdint>

#include "util/cKytSTR.h"

// Small text helpers shared by the SIP parsers. Positions are byte offsets into the text.
class cTextSIP {
 public:
  // out = text[nStart, nEnd), empty when the range is empty or outside the text.
  static void Mid(const cKytSTR& text, uint32_t nStart, uint32_t nEnd, cKytSTR& out);
  // out = text[nStart, end).
  static void From(const cKytSTR& text, uint32_t nStart, cKytSTR& out);
  // A leading decimal integer after optional spaces and sign, clamped to the 32-bit range;
  // 0 when the text does not start with a number.
  static int32_t ToInt(const char* pText);
  // A lower-case copy.
  static cKytSTR Lower(const cKytSTR& text);
  // Splits "host", "host:port", "[v6]" or "[v6]:port"; an IPv6 literal keeps its brackets, so
  // that it can be written back into a URI or Via as it came. nPort is untouched without a port.
  static void SplitHostPort(const cKytSTR& hostPort, cKytSTR& host, int32_t& nPort);
  // A message fit for the system log: every SRTP master key ("inline:" up to the next '|',
  // blank or line end) replaced by "...".
  static cKytSTR WithoutKeys(const cKytSTR& message);
};
