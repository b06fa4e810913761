#pragma once

// What the media engine reports to the user agent core. Called on the main thread.
class cKytRTPEventSink {
 public:
  virtual ~cKytRTPEventSink() = default;
  // Answering-machine detection on a line ended: true for a human, false for a machine.
  virtual void OnDetectedAMD(int nLine, bool bResult) = 0;
  // A wave file playing to the remote party of a line reached its end.
  virtual void OnPlayWaveDone(int nLine) = 0;
};
