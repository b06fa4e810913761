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

  // Each returns -1 for an unknown codec number. nILBCModeMs picks iLBC's 20 ms frames when 20;
  // anything else gives its 30 ms frames.
  static int GetFrameSizePCM(int nCodecNo, int nILBCModeMs = 30);
  static int GetFrameSizeCOMPRESS(int nCodecNo, int nILBCModeMs = 30);
  static int GetMinFrameSize(int nCodecNo, int nILBCModeMs = 30);
  static int GetMinFrameDuration(int nCodecNo, int nILBCModeMs = 30);
};
