#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Access to the iLBC test vectors under tests/ilbc/data and the measures
// the tests share.
class IlbcTestData {
 public:
  static std::string Path(const std::string& sName);
  static std::vector<uint8_t> ReadBytes(const std::string& sName);
  static std::vector<int16_t> ReadPcm(const std::string& sName);
  // 16-bit sample as the reference test program writes it: clamp, then
  // truncate toward zero.
  static int16_t ToPcm(float fSample);
  // 10 log10(sum ref^2 / sum (ref - test)^2) over [nFrom, nTo) samples.
  static double Snr(const std::vector<int16_t>& ref, const std::vector<int16_t>& test,
                    size_t nFrom = 0, size_t nTo = SIZE_MAX);
  // Decodes a whole bitstream with the given per-frame loss flags (empty:
  // none lost) and returns 16-bit PCM.
  static std::vector<int16_t> Decode(int nModeMs, bool bEnhancer, const std::vector<uint8_t>& bits,
                                     const std::vector<bool>& lost = {});
  // Loss flags from a channel file (16-bit LE per frame, 0 = lost).
  static std::vector<bool> ReadLossFlags(const std::string& sName);
};
