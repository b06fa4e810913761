#pragma once

#include <cstdint>

// Table-driven G.711 coder; cG711uCodec and cG711aCodec supply the tables.
// Encoding looks a sample up by its top 14 bits, decoding looks a byte up in a 256-entry table.
// Both laws order their 128 magnitude levels the same way: level i is code i ^ mask when
// positive and i ^ mask ^ 0x80 when negative.
class cG711Codec {
 public:
  static constexpr int kCompTableSize = 16384;
  static constexpr int kExpTableSize = 256;

  // Half the PCM byte count when it is whole 20 ms units, else 0.
  int EncodeOutPutSize(int nSizePCM) const;
  // Encodes whole units; returns the bytes written.
  int Encode(const int16_t* pPCM, int nSizePCM, uint8_t* pOut) const;
  int DecodeOutPutSize(int nSizeCoded) const;
  // Expands every byte; returns the PCM bytes written.
  int Decode(const uint8_t* pCoded, int nSizeCoded, int16_t* pOut) const;

  uint8_t EncodeSample(int16_t nSample) const;
  int16_t DecodeSample(uint8_t nCode) const { return m_pExpTable[nCode]; }

  // The two tables of one law. The decoding table holds pDecode of every code; the encoding
  // table gives each 14-bit value the level whose decoded value is nearest, with the decision
  // points at the rounded midpoints between levels. nMask is the law's code of level 0.
  struct sTables {
    sTables(int16_t (*pDecode)(uint8_t), uint8_t nMask);
    uint8_t m_CompTable[kCompTableSize];
    int16_t m_ExpTable[kExpTableSize];
  };

 protected:
  // tables must outlive the coder.
  explicit cG711Codec(const sTables& tables)
      : m_pCompTable(tables.m_CompTable), m_pExpTable(tables.m_ExpTable) {}

 private:
  const uint8_t* m_pCompTable;
  const int16_t* m_pExpTable;
};
