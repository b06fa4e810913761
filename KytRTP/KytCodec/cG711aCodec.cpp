#include "KytRTP/KytCodec/cG711aCodec.h"

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

struct sAlawTables {
  static constexpr uint8_t kMask = 0xD5;
  uint8_t alaw_comp_table[cG711Codec::kCompTableSize];
  int16_t alaw_exp_table[cG711Codec::kExpTableSize];

  sAlawTables() {
    for (int i = 0; i < cG711Codec::kExpTableSize; ++i)
      alaw_exp_table[i] = AlawToLinear(static_cast<uint8_t>(i));
    cG711Codec::BuildCompTable(alaw_exp_table, kMask, alaw_comp_table);
  }
};

const sAlawTables& Tables() {
  static const sAlawTables tables;
  return tables;
}

}  // namespace

cG711aCodec::cG711aCodec() : cG711Codec(Tables().alaw_comp_table, Tables().alaw_exp_table) {}
