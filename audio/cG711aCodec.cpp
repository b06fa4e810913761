#include "audio/cG711aCodec.h"

namespace {

int16_t AlawToLinear(uint8_t nCode) {
  const int nBits = nCode ^ 0x55;
  int nValue = (nBits & 0x0F) << 4;
  const int nSeg = (nBits & 0x70) >> 4;
  if (nSeg == 0) {
    nValue += 8;
  } else {
    nValue += 0x108;
    nValue <<= nSeg - 1;
  }
  return static_cast<int16_t>((nBits & 0x80) ? nValue : -nValue);
}

const cG711Codec::sTables& Tables() {
  static const cG711Codec::sTables tables(AlawToLinear, 0xD5);
  return tables;
}

}  // namespace

cG711aCodec::cG711aCodec() : cG711Codec(Tables()) {}
