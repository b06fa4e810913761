#include "sip/cCSeq.h"

#include "sip/cTextSIP.h"

void cCSeq::Construct(const cKytSTR& method, int32_t nNumber, cKytSTR& value) {
  value.Format("%d %s", nNumber, method.GetDATA());
}

bool cCSeq::Parse(const cKytSTR& value, cKytSTR& method, cKytSTR& number) {
  uint32_t nSpace = value.FindSTR(" ");
  if (nSpace == cKytSTR::KYT_NOT_FOUND) return false;
  cTextSIP::Mid(value, 0, nSpace, number);
  cTextSIP::From(value, nSpace + 1, method);
  return true;
}
