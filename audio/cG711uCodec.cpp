#include "audio/cG711uCodec.h"

namespace {

int16_t UlawToLinear(uint8_t nCode) {
  const int nInv = static_cast<uint8_t>(~nCode);
  int nValue = ((nInv & 0x0F) << 3) + 0x84;
  nValue <<= (nInv & 0x70) >> 4;
  return static_cast<int16_t>((nInv & 0x80) ? (0x84 - nValue) : (nValue - 0x84));
}

const cG711Codec::sTables& Tables() {
  static const cG711Codec::sTables tables(UlawToLinear, 0xFF);
  return tables;
}

}  // namespace

cG711uCodec::cG711uCodec() : cG711Codec(Tables()) {}
