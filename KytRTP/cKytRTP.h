#pragma once

#include "KytRTP/cKytRTPLib.h"

class cKytRTPEventSink;

// The media engine as the user agent core creates it: relays the media thread's events to the
// core.
class cKytRTP : public cKytRTPLib {
 public:
  cKytRTP(cKytRTPEventSink* pKytMainObj, cMainLoop* pMainLoop)
      : cKytRTPLib(pMainLoop), m_pKytMainObj(pKytMainObj) {}

 protected:
  void OnDetectedAMD(int nLine, bool bResult) override;
  void OnPlayWaveDone(int nLine) override;

 private:
  cKytRTPEventSink* m_pKytMainObj;
};
