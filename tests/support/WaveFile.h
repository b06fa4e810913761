#pragma once

// WAVE files of 16-bit mono PCM at 8000 Hz, as the virtual sound device and the peers read and
// write them.

#include <cstdint>
#include <string>
#include <vector>

namespace kyttest {

bool WriteWave(const std::string& sPath, const std::vector<int16_t>& samples);
// The samples of the data chunk; empty when the file is missing, is not a WAVE file of that
// format or holds no data. A data chunk longer than the file is cut at the end of the file.
std::vector<int16_t> ReadWave(const std::string& sPath);

}  // namespace kyttest
