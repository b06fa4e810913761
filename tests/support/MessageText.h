#pragma once

// Reading parts of a SIP message text.

#include <string>

namespace kyttest {

// The value of the first header named sName (any case; compact forms not handled), without
// surrounding spaces; "" when absent.
std::string HeaderOf(const std::string& sMessage, const std::string& sName);
std::string StartLineOf(const std::string& sMessage);
// Everything after the first blank line; "" when there is none.
std::string BodyOf(const std::string& sMessage);

}  // namespace kyttest
