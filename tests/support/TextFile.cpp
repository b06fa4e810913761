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

}  // namespace kyttest
