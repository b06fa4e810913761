#include "KytRTP/KytCodec/cG711uCodec.h"

namespace {

int16_t UlawToLinear(uint8_t nCode) {
  const int nInv = static_cast<uint8_t>(~nCode);
  int nValue = ((nInv & 0x0F) << 3) + 0x84;
  nValue <<= (nInv & 0x70) >> 4;
  return static_cast<int16_t>((nInv & 0x80) ? (0x84 - nValue) : (nValue - 0x84));
}

struct sUlawTables {
  static constexpr uint8_t kMask = 0xFF;
  uint8_t ulaw_comp_table[cG711Codec::kCompTableSize];
  int16_t ulaw_exp_table[cG711Codec::kExpTableSize];

  sUlawTables() {
    for (int i = 0; i < cG711Codec::kExpTableSize; ++i)
      ulaw_exp_table[i] = UlawToLinear(static_cast<uint8_t>(i));
    cG711Codec::BuildCompTable(ulaw_exp_table, kMask, ulaw_comp_table);
  }
};

const sUlawTables& Tables() {
  static const sUlawTables tables;
  return tables;
}

}  // namespace

cG711uCodec::cG711uCodec() : cG711Codec(Tables().ulaw_comp_table, Tables().ulaw_exp_table) {}
