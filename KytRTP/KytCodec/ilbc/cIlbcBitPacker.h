#pragma once

#include <cstdint>

#include "KytRTP/KytCodec/ilbc/cIlbcFrameParams.h"
#include "KytRTP/KytCodec/ilbc/cIlbcMode.h"

// Packs and unpacks the frame fields in the unequal-level-protection order:
// all class-1 bits of every field, then class 2, then class 3, then the
// empty-frame bit. A field split over classes sends its high bits first.
class cIlbcBitPacker {
 public:
  explicit cIlbcBitPacker(const cIlbcMode& mode);

  // pFrame receives m_nBytes bytes.
  void Pack(const cIlbcFrameParams& params, uint8_t* pFrame) const;
  // Reads m_nBytes bytes. Every field comes out within its bit width.
  void Unpack(const uint8_t* pFrame, cIlbcFrameParams& params) const;

 private:
  static constexpr int kMaxFields = 6 + 3 + 58 + 6 + 24 + 1;
  struct sField {
    int nOffset;      // offset of the int inside cIlbcFrameParams
    const int* pUlp;  // bits in class 1, 2, 3
  };

  void AddField(const int* pMember, const int* pUlp, const cIlbcFrameParams& layout);
  template <typename tVisit>
  void ForEachBitGroup(tVisit visit) const;

  const cIlbcMode& m_mode;
  sField m_arrFields[kMaxFields];
  int m_nFields = 0;
};
