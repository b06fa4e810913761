#include "tests/support/TextFile.h"

#include <fstream>
#include <sstream>

namespace kyttest {

std::string ReadText(const std::string& sPath) {
  std::ifstream in(sPath);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

void WriteText(const std::string& sPath, const std::string& sText) {
  std::ofstream out(sPath);
  out << sText;
}

std::string ReplaceAll(std::string sText, const std::string& sFrom, const std::string& sTo) {
  if (sFrom.empty()) return sText;
  for (size_t nPos = sText.find(sFrom); nPos != std::string::npos;
       nPos = sText.find(sFrom, nPos + sTo.size())) {
    sText.replace(nPos, sFrom.size(), sTo);
  }
  return sText;
}

}  // namespace kyttest
