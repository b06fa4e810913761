#include "IlbcTestData.h"

#include <cmath>
#include <fstream>
#include <iterator>

#include "KytRTP/KytCodec/ilbc/cIlbcDecoder.h"

std::string IlbcTestData::Path(const std::string& sName) {
  return std::string(KYT_ILBC_TEST_DATA) + "/" + sName;
}

std::vector<uint8_t> IlbcTestData::ReadBytes(const std::string& sName) {
  std::ifstream in(Path(sName), std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<int16_t> IlbcTestData::ReadPcm(const std::string& sName) {
  const std::vector<uint8_t> bytes = ReadBytes(sName);
  std::vector<int16_t> pcm(bytes.size() / 2);
  for (size_t i = 0; i < pcm.size(); i++) {
    pcm[i] = static_cast<int16_t>(bytes[2 * i] | (bytes[2 * i + 1] << 8));
  }
  return pcm;
}

int16_t IlbcTestData::ToPcm(float fSample) {
  if (fSample > 32767.0f) return 32767;
  if (fSample < -32768.0f) return -32768;
  return static_cast<int16_t>(fSample);
}

double IlbcTestData::Snr(const std::vector<int16_t>& ref, const std::vector<int16_t>& test,
                         size_t nFrom, size_t nTo) {
  if (nTo > ref.size()) nTo = ref.size();
  if (nTo > test.size()) nTo = test.size();
  double fSig = 0.0;
  double fErr = 0.0;
  for (size_t i = nFrom; i < nTo; i++) {
    const double fDiff = static_cast<double>(ref[i]) - test[i];
    fSig += static_cast<double>(ref[i]) * ref[i];
    fErr += fDiff * fDiff;
  }
  if (fErr == 0.0) return 200.0;
  if (fSig == 0.0) return -200.0;
  return 10.0 * std::log10(fSig / fErr);
}

std::vector<int16_t> IlbcTestData::Decode(int nModeMs, bool bEnhancer,
                                          const std::vector<uint8_t>& bits,
                                          const std::vector<bool>& lost) {
  cIlbcDecoder dec(nModeMs, bEnhancer);
  const size_t nBytes = static_cast<size_t>(dec.GetFrameBytes());
  std::vector<float> frame(static_cast<size_t>(dec.GetFrameSamples()));
  std::vector<int16_t> out;
  for (size_t f = 0; (f + 1) * nBytes <= bits.size(); f++) {
    if (f < lost.size() && lost[f]) {
      dec.DecodeLost(frame.data());
    } else {
      dec.Decode(bits.data() + f * nBytes, frame.data());
    }
    for (float fSample : frame) out.push_back(ToPcm(fSample));
  }
  return out;
}

std::vector<bool> IlbcTestData::ReadLossFlags(const std::string& sName) {
  const std::vector<int16_t> flags = ReadPcm(sName);
  std::vector<bool> lost;
  for (int16_t nFlag : flags) lost.push_back(nFlag == 0);
  return lost;
}
