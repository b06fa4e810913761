#pragma once

// Frame constants of the voice codecs. All PCM is signed 16-bit mono at 8000 Hz in native byte
// order.
class cCodecRTP {
 public:
  enum eCodec : int {
    kCodecNone = -1,
    kCodecG711u = 0,
    kCodecG711a = 1,
    kCodecGSM = 2,
    kCodeciLBC = 3
  };

  // Each returns -1 for an unknown codec number.
  static int GetFrameSizePCM(int nCodecNo);
  static int GetFrameSizeCOMPRESS(int nCodecNo);
  static int GetMinFrameSize(int nCodecNo);
  static int GetMinFrameDuration(int nCodecNo);
};
