#include "KytRTP/KytCodec/cCodecRTP.h"

namespace {

struct sCodecFrame {
  int nSizePCM;
  int nSizeCompressed;
  int nMinFrameSize;
  int nMinFrameDurationUs;
};

constexpr sCodecFrame kCodecFrames[] = {
    {320, 160, 1, 125},    // G.711 u-law
    {320, 160, 1, 125},    // G.711 A-law
    {320, 33, 33, 20000},  // GSM 06.10
    {480, 50, 50, 30000},  // iLBC, 30 ms
};

constexpr sCodecFrame kILBC20Frame = {320, 38, 38, 20000};

const sCodecFrame* FindFrame(int nCodecNo, int nILBCModeMs) {
  if (nCodecNo < 0 || nCodecNo >= static_cast<int>(sizeof(kCodecFrames) / sizeof(kCodecFrames[0])))
    return nullptr;
  if (nCodecNo == cCodecRTP::kCodeciLBC && nILBCModeMs == 20) return &kILBC20Frame;
  return &kCodecFrames[nCodecNo];
}

}  // namespace

int cCodecRTP::GetFrameSizePCM(int nCodecNo, int nILBCModeMs) {
  const sCodecFrame* pFrame = FindFrame(nCodecNo, nILBCModeMs);
  return pFrame ? pFrame->nSizePCM : -1;
}

int cCodecRTP::GetFrameSizeCOMPRESS(int nCodecNo, int nILBCModeMs) {
  const sCodecFrame* pFrame = FindFrame(nCodecNo, nILBCModeMs);
  return pFrame ? pFrame->nSizeCompressed : -1;
}

int cCodecRTP::GetMinFrameSize(int nCodecNo, int nILBCModeMs) {
  const sCodecFrame* pFrame = FindFrame(nCodecNo, nILBCModeMs);
  return pFrame ? pFrame->nMinFrameSize : -1;
}

int cCodecRTP::GetMinFrameDuration(int nCodecNo, int nILBCModeMs) {
  const sCodecFrame* pFrame = FindFrame(nCodecNo, nILBCModeMs);
  return pFrame ? pFrame->nMinFrameDurationUs : -1;
}
