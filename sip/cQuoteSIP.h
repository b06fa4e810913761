#pragma once

#include <cstdint>

#include "util/cKytSTR.h"

// The one place where free text becomes part of a SIP message: display names are written as
// quoted strings, URI user parts percent-escaped, and text meant for a single header line is
// checked for line breaks. Stateless.
class cQuoteSIP {
 public:
  // Whether text can sit inside one header line: no CR, LF or NUL.
  static bool IsLineSafe(const char* pText, uint32_t nLength);
  static bool IsLineSafe(const cKytSTR& text) { return IsLineSafe(text.GetDATA(), text.GetLEN()); }
  // Whether text names a host: a domain name or IPv4 address of letters, digits, '-' and '.',
  // or an IPv6 reference in brackets.
  static bool IsHostName(const cKytSTR& text);
  // "[2001:db8::1]": hex digits, colons and dots in brackets.
  static bool IsIPv6Reference(const cKytSTR& text);

  // '"' name '"' with '"' and '\' escaped; line breaks and NUL, which a quoted string cannot
  // hold, become spaces.
  static void QuoteDisplayName(const cKytSTR& name, cKytSTR& quoted);
  // The display name of a name-addr as read: a quoted string loses its quotes and escapes,
  // a bare token its surrounding blanks.
  static void UnquoteDisplayName(const cKytSTR& text, cKytSTR& name);
  // The user with every character outside unreserved and user-unreserved written as %HH; an
  // existing %HH escape is kept, so escaping twice changes nothing.
  static void EscapeUser(const cKytSTR& user, cKytSTR& escaped);
  // The position of the first c at or after nFrom that is not inside a quoted string;
  // KYT_NOT_FOUND without one.
  static uint32_t FindUnquoted(const cKytSTR& text, char c, uint32_t nFrom = 0);
};
