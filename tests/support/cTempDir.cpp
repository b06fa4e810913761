#include "tests/support/cTempDir.h"

#include <stdlib.h>

#include <filesystem>
#include <system_error>

namespace kyttest {

cTempDir::cTempDir(const std::string& sPrefix) {
  std::error_code ec;
  std::filesystem::path base = std::filesystem::temp_directory_path(ec);
  if (ec) base = "/tmp";
  std::string pattern = (base / (sPrefix + "XXXXXX")).string();
  if (const char* pDir = mkdtemp(pattern.data())) m_sPath = pDir;
}

cTempDir::~cTempDir() {
  std::error_code ec;
  if (!m_sPath.empty()) std::filesystem::remove_all(m_sPath, ec);
}

}  // namespace kyttest
