#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "host/cNPPage.h"

// What a page sends the bridge, read from the texts of one request: the JSON bodies of a new
// session and of a script call, the bearer token, the event a returning stream stopped at. No
// state and no side effects, so that any text a page can send is answered with a reason.
class cBridgeRequest {
 public:
  static constexpr size_t kMaxArgs = 32;
  // The body of a new session (empty: {}): "attributes" may give audio (pulse or virtual), mic,
  // speaker and srtp (optional or mandatory) as texts, each replacing its default; an empty
  // value leaves the attribute out.
  static bool ParseCreate(const std::string& body, const cNPPage::tAttributes& defaults,
                          cNPPage::tAttributes* pAttributes, std::string* pError);
  // {"fn": name, "args": [...]} with at most kMaxArgs arguments, none an object or an array.
  static bool ParseCall(const std::string& body, std::string* pName, cNPPage::tArgs* pArgs,
                        std::string* pError);
  // The token of "Bearer <token>"; empty when the header is anything else.
  static std::string BearerToken(const std::string& header);
  // A decimal event number; 0 when the text does not start with digits or overflows.
  static uint64_t EventNumber(const std::string& text);
};
