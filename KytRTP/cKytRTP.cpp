#include "KytRTP/cKytRTP.h"

#include "KytRTP/cKytRTPEventSink.h"

void cKytRTP::OnDetectedAMD(int nLine, bool bResult) {
  if (m_pKytMainObj) m_pKytMainObj->OnDetectedAMD(nLine, bResult);
}

void cKytRTP::OnPlayWaveDone(int nLine) {
  if (m_pKytMainObj) m_pKytMainObj->OnPlayWaveDone(nLine);
}
