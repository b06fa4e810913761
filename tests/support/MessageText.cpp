#include "tests/support/MessageText.h"

#include <strings.h>

#include <sstream>

namespace kyttest {

std::string HeaderOf(const std::string& sMessage, const std::string& sName) {
  std::istringstream in(sMessage);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.empty()) break;
    const size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    if (strcasecmp(line.substr(0, colon).c_str(), sName.c_str()) != 0) continue;
    std::string value = line.substr(colon + 1);
    const size_t first = value.find_first_not_of(' ');
    const size_t last = value.find_last_not_of(' ');
    return first == std::string::npos ? "" : value.substr(first, last - first + 1);
  }
  return "";
}

std::string StartLineOf(const std::string& sMessage) {
  return sMessage.substr(0, sMessage.find("\r\n"));
}

std::string BodyOf(const std::string& sMessage) {
  const size_t nBlank = sMessage.find("\r\n\r\n");
  return nBlank == std::string::npos ? "" : sMessage.substr(nBlank + 4);
}

}  // namespace kyttest
