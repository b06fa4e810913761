#include "tests/support/MessageText.h"

#include <strings.h>

#include <cstdlib>
#include <sstream>

#include "sip/cMd5c.h"

namespace kyttest {

std::vector<std::string> HeadersOf(const std::string& sMessage, const std::string& sName) {
  std::vector<std::string> values;
  std::istringstream in(sMessage);
  std::string line;
  std::getline(in, line);  // the start line
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) break;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    if (strcasecmp(line.substr(0, colon).c_str(), sName.c_str()) != 0) continue;
    const std::string value = line.substr(colon + 1);
    const size_t first = value.find_first_not_of(' ');
    const size_t last = value.find_last_not_of(' ');
    values.push_back(first == std::string::npos ? "" : value.substr(first, last - first + 1));
  }
  return values;
}

std::string HeaderOf(const std::string& sMessage, const std::string& sName) {
  const std::vector<std::string> values = HeadersOf(sMessage, sName);
  return values.empty() ? "" : values.front();
}

std::string StartLineOf(const std::string& sMessage) {
  return sMessage.substr(0, sMessage.find("\r\n"));
}

int CSeqNumberOf(const std::string& sMessage) { return atoi(HeaderOf(sMessage, "CSeq").c_str()); }

namespace {

// The value of the parameter that starts with sKey ("branch="), up to the next ';'.
std::string ParameterOf(const std::string& sValue, const std::string& sKey) {
  const size_t nAt = sValue.find(sKey);
  if (nAt == std::string::npos) return "";
  const size_t nStart = nAt + sKey.size();
  return sValue.substr(nStart, sValue.find(';', nStart) - nStart);
}

}  // namespace

std::string BranchOf(const std::string& sMessage) {
  return ParameterOf(HeaderOf(sMessage, "Via"), "branch=");
}

std::string TagOf(const std::string& sValue) { return ParameterOf(sValue, ";tag="); }

std::string BodyOf(const std::string& sMessage) {
  const size_t nBlank = sMessage.find("\r\n\r\n");
  return nBlank == std::string::npos ? "" : sMessage.substr(nBlank + 4);
}

std::string Md5Hex(const std::string& sText) {
  cMd5c md5;
  cKytSTR hex;
  md5.HashHex(sText.data(), sText.size(), hex);
  return hex.GetDATA();
}

}  // namespace kyttest
