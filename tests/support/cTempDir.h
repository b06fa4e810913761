#pragma once

#include <string>

namespace kyttest {

// A fresh folder under the system's temporary folder, removed with everything in it when the
// object goes.
class cTempDir {
 public:
  // The folder is named sPrefix followed by six random characters.
  explicit cTempDir(const std::string& sPrefix = "kyt-");
  cTempDir(const cTempDir&) = delete;
  cTempDir& operator=(const cTempDir&) = delete;
  ~cTempDir();

  // "" when the folder could not be made.
  const std::string& Path() const { return m_sPath; }
  std::string File(const std::string& sName) const { return m_sPath + "/" + sName; }

 private:
  std::string m_sPath;
};

}  // namespace kyttest
