#pragma once

// Reading parts of a SIP message text.

#include <string>
#include <vector>

namespace kyttest {

// The values of every header named sName (any case; compact forms not handled) in the order
// written, each without surrounding spaces.
std::vector<std::string> HeadersOf(const std::string& sMessage, const std::string& sName);
// The value of the first one; "" when absent.
std::string HeaderOf(const std::string& sMessage, const std::string& sName);
std::string StartLineOf(const std::string& sMessage);
// The number of the CSeq header; 0 when there is none.
int CSeqNumberOf(const std::string& sMessage);
// The branch parameter of the top Via; "" when there is none.
std::string BranchOf(const std::string& sMessage);
// The tag parameter of a From or To value; "" when there is none.
std::string TagOf(const std::string& sValue);
// Everything after the first blank line; "" when there is none.
std::string BodyOf(const std::string& sMessage);
// The MD5 of the text in 32 lower-case hexadecimal digits, as digest authentication writes it.
std::string Md5Hex(const std::string& sText);

}  // namespace kyttest
