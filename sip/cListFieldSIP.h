#pragma once

#include <cstdint>

#include "util/cKytSTR.h"

// The 23 header fields a SIP message keeps. A row index is also the rendering order; every other
// header of a received message is dropped.
class cListFieldSIP {
 public:
  enum : int32_t {
    FIELD_VIA = 0,
    FIELD_RECORD_ROUTE,
    FIELD_ROUTE,
    FIELD_FROM,
    FIELD_TO,
    FIELD_CALL_ID,
    FIELD_CSEQ,
    FIELD_CONTACT,
    FIELD_MAX_FORWARDS,
    FIELD_CONTENT_TYPE,
    FIELD_USER_AGENT,
    FIELD_EXPIRES,
    FIELD_ALLOW,
    FIELD_PROXY_AUTHENTICATE,
    FIELD_PROXY_AUTHORIZATION,
    FIELD_AUTHORIZATION,
    FIELD_WWW_AUTHENTICATE,
    FIELD_REFER_TO,
    FIELD_REFERRED_BY,
    FIELD_CONTENT_LENGTH,
    FIELD_ACCEPT,
    FIELD_EVENT,
    FIELD_SUBSCRIPTION_STATE,
    FIELD_REQUIRE,
    FIELD_UNSUPPORTED,
    FIELD_COUNT
  };

  // The spelling written for a row; false (text untouched) outside 0..22.
  static bool IndexToField(int32_t nIndex, cKytSTR& field);
  // The row of a received header name (full or compact form, any letter case), or -1.
  static int32_t FieldToIndex(const char* pName);
};
