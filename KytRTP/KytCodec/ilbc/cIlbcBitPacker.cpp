#include "KytRTP/KytCodec/ilbc/cIlbcBitPacker.h"

#include <cstring>

#include "KytRTP/KytCodec/ilbc/cIlbcTables.h"

namespace {
constexpr int kClasses = 3;
constexpr int kUlpStride = 5;
}  // namespace

cIlbcBitPacker::cIlbcBitPacker(const cIlbcMode& mode) : m_mode(mode) {
  const bool b20 = mode.m_nModeMs == 20;
  const int* pLsf = b20 ? cIlbcTables::kUlp20msLsfBits : cIlbcTables::kUlp30msLsfBits;
  const int* pStart = b20 ? cIlbcTables::kUlp20msStartBits : cIlbcTables::kUlp30msStartBits;
  const int* pFirst =
      b20 ? cIlbcTables::kUlp20msStartfirstBits : cIlbcTables::kUlp30msStartfirstBits;
  const int* pScale = b20 ? cIlbcTables::kUlp20msScaleBits : cIlbcTables::kUlp30msScaleBits;
  const int* pState = b20 ? cIlbcTables::kUlp20msStateBits : cIlbcTables::kUlp30msStateBits;
  const int* pExtraCb = b20 ? cIlbcTables::kUlp20msExtraCbIndex : cIlbcTables::kUlp30msExtraCbIndex;
  const int* pExtraGain = b20 ? cIlbcTables::kUlp20msExtraCbGain : cIlbcTables::kUlp30msExtraCbGain;
  const int* pCb = b20 ? cIlbcTables::kUlp20msCbIndex : cIlbcTables::kUlp30msCbIndex;
  const int* pGain = b20 ? cIlbcTables::kUlp20msCbGain : cIlbcTables::kUlp30msCbGain;

  const cIlbcFrameParams layout;
  for (int i = 0; i < 3 * mode.m_nLsfSets; i++) {
    AddField(&layout.m_arrLsf[i], pLsf + i * kUlpStride, layout);
  }
  AddField(&layout.m_nStart, pStart, layout);
  AddField(&layout.m_nStateFirst, pFirst, layout);
  AddField(&layout.m_nScale, pScale, layout);
  for (int i = 0; i < mode.m_nStateShort; i++) {
    AddField(&layout.m_arrState[i], pState, layout);
  }
  for (int k = 0; k < cIlbcMode::kStages; k++) {
    AddField(&layout.m_arrExtraCb[k], pExtraCb + k * kUlpStride, layout);
  }
  for (int k = 0; k < cIlbcMode::kStages; k++) {
    AddField(&layout.m_arrExtraGain[k], pExtraGain + k * kUlpStride, layout);
  }
  const int nCbFields = mode.m_nCbSub * cIlbcMode::kStages;
  for (int n = 0; n < nCbFields; n++) AddField(&layout.m_arrCb[n], pCb + n * kUlpStride, layout);
  for (int n = 0; n < nCbFields; n++) {
    AddField(&layout.m_arrGain[n], pGain + n * kUlpStride, layout);
  }
}

void cIlbcBitPacker::AddField(const int* pMember, const int* pUlp, const cIlbcFrameParams& layout) {
  const auto* pBase = reinterpret_cast<const char*>(&layout);
  m_arrFields[m_nFields].nOffset = static_cast<int>(reinterpret_cast<const char*>(pMember) - pBase);
  m_arrFields[m_nFields].pUlp = pUlp;
  m_nFields++;
}

// Calls visit(field offset, bit count, shift) for each field's part of each
// class, in transmission order.
template <typename tVisit>
void cIlbcBitPacker::ForEachBitGroup(tVisit visit) const {
  for (int c = 0; c < kClasses; c++) {
    for (int f = 0; f < m_nFields; f++) {
      const int* pUlp = m_arrFields[f].pUlp;
      if (pUlp[c] == 0) continue;
      int nShift = 0;
      for (int l = c + 1; l < kClasses; l++) nShift += pUlp[l];
      visit(m_arrFields[f].nOffset, pUlp[c], nShift);
    }
  }
}

void cIlbcBitPacker::Pack(const cIlbcFrameParams& params, uint8_t* pFrame) const {
  std::memset(pFrame, 0, static_cast<size_t>(m_mode.m_nBytes));
  const auto* pBase = reinterpret_cast<const char*>(&params);
  int nPos = 0;
  auto put = [&](unsigned nValue, int nBits) {
    for (int b = nBits - 1; b >= 0; b--, nPos++) {
      if ((nValue >> b) & 1u) pFrame[nPos >> 3] |= static_cast<uint8_t>(0x80u >> (nPos & 7));
    }
  };
  ForEachBitGroup([&](int nOffset, int nBits, int nShift) {
    int nValue;
    std::memcpy(&nValue, pBase + nOffset, sizeof nValue);
    put(static_cast<unsigned>(nValue) >> nShift, nBits);
  });
  put(static_cast<unsigned>(params.m_nLastBit), 1);
}

void cIlbcBitPacker::Unpack(const uint8_t* pFrame, cIlbcFrameParams& params) const {
  params = cIlbcFrameParams();
  auto* pBase = reinterpret_cast<char*>(&params);
  int nPos = 0;
  auto get = [&](int nBits) {
    unsigned nValue = 0;
    for (int b = 0; b < nBits; b++, nPos++) {
      nValue = (nValue << 1) | ((pFrame[nPos >> 3] >> (7 - (nPos & 7))) & 1u);
    }
    return nValue;
  };
  ForEachBitGroup([&](int nOffset, int nBits, int nShift) {
    int nValue;
    std::memcpy(&nValue, pBase + nOffset, sizeof nValue);
    nValue |= static_cast<int>(get(nBits) << nShift);
    std::memcpy(pBase + nOffset, &nValue, sizeof nValue);
  });
  params.m_nLastBit = static_cast<int>(get(1));
}
