#include "sip/cCSeq.h"

#include "sip/cTextSIP.h"

void cCSeq::Construct(const cKytSTR& method, int32_t nNumber, cKytSTR& value) {
  value.Format("%d %s", nNumber, method.GetDATA());
}

bool cCSeq::Parse(const cKytSTR& value, cKytSTR& method, cKytSTR& number) {
  // Any run of blanks may separate the number from the method.
  const char* pText = value.GetDATA();
  uint32_t nLen = value.GetLEN();
  uint32_t nSpace = 0;
  while (nSpace < nLen && pText[nSpace] != ' ' && pText[nSpace] != '\t') ++nSpace;
  if (nSpace == nLen) return false;
  uint32_t nMethod = nSpace;
  while (nMethod < nLen && (pText[nMethod] == ' ' || pText[nMethod] == '\t')) ++nMethod;
  cTextSIP::Mid(value, 0, nSpace, number);
  cTextSIP::From(value, nMethod, method);
  return true;
}
