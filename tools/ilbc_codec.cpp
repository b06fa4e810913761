// ilbc_codec: encodes and decodes raw 16-bit little-endian 8 kHz mono PCM
// with the iLBC coder.
//
//   ilbc_codec encode <20|30> <in.pcm> <out.bit|out.lbc>
//   ilbc_codec decode <20|30> <in.bit|in.lbc> <out.pcm> [--noenh] [--loss <chan.chn>]
//
// A ".lbc" output gets the RFC 3952 storage header ("#!iLBC20\n" or
// "#!iLBC30\n"); an input starting with such a header must match the mode.
// The loss file holds one 16-bit little-endian flag per frame (1 received,
// 0 lost); frames past its end count as received. A trailing partial PCM
// frame is padded with zeros; a trailing partial coded frame is an error.
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "KytRTP/KytCodec/ilbc/cIlbcDecoder.h"
#include "KytRTP/KytCodec/ilbc/cIlbcEncoder.h"

namespace {

bool ReadFile(const std::string& sPath, std::vector<uint8_t>& data) {
  std::ifstream in(sPath, std::ios::binary);
  if (!in) return false;
  data.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

bool WriteFile(const std::string& sPath, const std::vector<uint8_t>& data) {
  std::ofstream out(sPath, std::ios::binary);
  out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
  return static_cast<bool>(out);
}

std::string StorageHeader(int nModeMs) { return nModeMs == 20 ? "#!iLBC20\n" : "#!iLBC30\n"; }

bool EndsWith(const std::string& s, const std::string& sTail) {
  return s.size() >= sTail.size() && s.compare(s.size() - sTail.size(), sTail.size(), sTail) == 0;
}

int16_t ToPcm(float fSample) {
  if (fSample > 32767.0f) return 32767;
  if (fSample < -32768.0f) return -32768;
  return static_cast<int16_t>(fSample);  // truncation toward zero
}

int Encode(int nModeMs, const std::string& sIn, const std::string& sOut) {
  std::vector<uint8_t> pcm;
  if (!ReadFile(sIn, pcm)) {
    std::fprintf(stderr, "cannot read %s\n", sIn.c_str());
    return 1;
  }
  cIlbcEncoder enc(nModeMs);
  const size_t nSamples = static_cast<size_t>(enc.GetFrameSamples());
  const size_t nFrameBytes = nSamples * 2;
  std::vector<uint8_t> out;
  if (EndsWith(sOut, ".lbc")) {
    const std::string sHeader = StorageHeader(enc.GetModeMs());
    out.assign(sHeader.begin(), sHeader.end());
  }
  std::vector<float> samples(nSamples);
  std::vector<uint8_t> frame(static_cast<size_t>(enc.GetFrameBytes()));
  for (size_t nPos = 0; nPos < pcm.size(); nPos += nFrameBytes) {
    for (size_t i = 0; i < nSamples; i++) {
      const size_t nByte = nPos + 2 * i;
      int16_t nValue = 0;
      if (nByte + 1 < pcm.size()) {
        nValue = static_cast<int16_t>(pcm[nByte] | (pcm[nByte + 1] << 8));
      }
      samples[i] = nValue;
    }
    enc.Encode(samples.data(), frame.data());
    out.insert(out.end(), frame.begin(), frame.end());
  }
  if (!WriteFile(sOut, out)) {
    std::fprintf(stderr, "cannot write %s\n", sOut.c_str());
    return 1;
  }
  return 0;
}

int Decode(int nModeMs, const std::string& sIn, const std::string& sOut, bool bEnhancer,
           const std::string& sLoss) {
  std::vector<uint8_t> bits;
  if (!ReadFile(sIn, bits)) {
    std::fprintf(stderr, "cannot read %s\n", sIn.c_str());
    return 1;
  }
  std::vector<uint8_t> loss;
  if (!sLoss.empty() && !ReadFile(sLoss, loss)) {
    std::fprintf(stderr, "cannot read %s\n", sLoss.c_str());
    return 1;
  }
  cIlbcDecoder dec(nModeMs, bEnhancer);
  size_t nStart = 0;
  if (bits.size() >= 6 && std::memcmp(bits.data(), "#!iLBC", 6) == 0) {
    const std::string sHeader = StorageHeader(dec.GetModeMs());
    if (bits.size() < sHeader.size() ||
        std::memcmp(bits.data(), sHeader.data(), sHeader.size()) != 0) {
      std::fprintf(stderr, "%s: storage header does not match the %d ms mode\n", sIn.c_str(),
                   dec.GetModeMs());
      return 1;
    }
    nStart = sHeader.size();
  }
  const size_t nFrameBytes = static_cast<size_t>(dec.GetFrameBytes());
  if ((bits.size() - nStart) % nFrameBytes != 0) {
    std::fprintf(stderr, "%s: not a whole number of %zu-byte frames\n", sIn.c_str(), nFrameBytes);
    return 1;
  }
  std::vector<float> samples(static_cast<size_t>(dec.GetFrameSamples()));
  std::vector<uint8_t> out;
  size_t nFrame = 0;
  for (size_t nPos = nStart; nPos < bits.size(); nPos += nFrameBytes, nFrame++) {
    const size_t nFlag = 2 * nFrame;
    const bool bLost = nFlag + 1 < loss.size() && loss[nFlag] == 0 && loss[nFlag + 1] == 0;
    if (bLost) {
      dec.DecodeLost(samples.data());
    } else {
      dec.Decode(bits.data() + nPos, samples.data());
    }
    for (float fSample : samples) {
      const auto nValue = static_cast<uint16_t>(ToPcm(fSample));
      out.push_back(static_cast<uint8_t>(nValue & 0xff));
      out.push_back(static_cast<uint8_t>(nValue >> 8));
    }
  }
  if (!WriteFile(sOut, out)) {
    std::fprintf(stderr, "cannot write %s\n", sOut.c_str());
    return 1;
  }
  return 0;
}

void Usage() {
  std::fprintf(stderr,
               "usage: ilbc_codec encode <20|30> <in.pcm> <out.bit|out.lbc>\n"
               "       ilbc_codec decode <20|30> <in.bit|in.lbc> <out.pcm> [--noenh] "
               "[--loss <chan.chn>]\n");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 5) {
    Usage();
    return 2;
  }
  const std::string sCmd = argv[1];
  const std::string sMode = argv[2];
  if (sMode != "20" && sMode != "30") {
    Usage();
    return 2;
  }
  const int nModeMs = std::stoi(sMode);
  if (sCmd == "encode" && argc == 5) return Encode(nModeMs, argv[3], argv[4]);
  if (sCmd != "decode") {
    Usage();
    return 2;
  }
  bool bEnhancer = true;
  std::string sLoss;
  for (int i = 5; i < argc; i++) {
    const std::string sArg = argv[i];
    if (sArg == "--noenh") {
      bEnhancer = false;
    } else if (sArg == "--loss" && i + 1 < argc) {
      sLoss = argv[++i];
    } else {
      Usage();
      return 2;
    }
  }
  return Decode(nModeMs, argv[3], argv[4], bEnhancer, sLoss);
}
