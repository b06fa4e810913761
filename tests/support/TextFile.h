#pragma once

// Whole text files, for logs and generated configuration, and texts with marks replaced.

#include <string>

namespace kyttest {

// The file's content; "" when it cannot be read.
std::string ReadText(const std::string& sPath);
void WriteText(const std::string& sPath, const std::string& sText);
// The text with every occurrence of sFrom replaced by sTo, left to right.
std::string ReplaceAll(std::string sText, const std::string& sFrom, const std::string& sTo);

}  // namespace kyttest
