#pragma once

// Whole text files, for logs and generated configuration.

#include <string>

namespace kyttest {

// The file's content; "" when it cannot be read.
std::string ReadText(const std::string& sPath);
void WriteText(const std::string& sPath, const std::string& sText);

}  // namespace kyttest
