#pragma once

// Frame constants of the voice codecs. All PCM is signed 16-bit mono at 8000 Hz in native byte
// order.
class cCodecRTP {
 public:
  static constexpr int kCodecNone = -1;
  static constexpr int kCodecG711u = 0;
  static constexpr int kCodecG711a = 1;
  static constexpr int kCodecGSM = 2;
  static constexpr int kCodeciLBC = 3;

  // Each returns -1 for an unknown codec number.
  static int GetFrameSizePCM(int nCodecNo);
  static int GetFrameSizeCOMPRESS(int nCodecNo);
  static int GetMinFrameSize(int nCodecNo);
  static int GetMinFrameDuration(int nCodecNo);
};
