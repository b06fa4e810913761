#include "call/cCodecSIP.h"

#include "call/cMsgSDP.h"
#include "util/eKytError.h"

cCodecSIP::cCodecSIP() { Reset(); }

void cCodecSIP::Reset() {
  m_pCodecNoList.DeleteAll();
  for (int32_t n = 0; n < cMsgSDP::CODEC_COUNT; ++n) m_pCodecNoList.AddTail(cKytSTR::IntToStr(n));
}

bool cCodecSIP::SelectCodec(int32_t nCodec, int32_t& nError) {
  if (nCodec < 0 || nCodec >= cMsgSDP::CODEC_COUNT) {
    nError = kErrUnknownCodec;
    return false;
  }
  cKytSTR text = cKytSTR::IntToStr(nCodec);
  m_pCodecNoList.Remove(text.GetDATA());
  m_pCodecNoList.AddTail(text);
  return true;
}

bool cCodecSIP::DeselectCodec(int32_t nCodec, int32_t& nError) {
  if (nCodec < 0 || nCodec >= cMsgSDP::CODEC_COUNT) {
    nError = kErrUnknownCodec;
    return false;
  }
  m_pCodecNoList.Remove(cKytSTR::IntToStr(nCodec).GetDATA());
  return true;
}

bool cCodecSIP::GetPriorityCodec(const cKytListSTR& remoteCodecNumbers,
                                 const cKytListSTR& remotePayloadNumbers, int32_t& nCodec,
                                 int32_t& nPayload) const {
  for (int32_t i = 0; i < remoteCodecNumbers.GetCount(); ++i) {
    cKytSTR codec;
    cKytSTR payload;
    remoteCodecNumbers.GetAt(i, codec);
    if (!m_pCodecNoList.Find(codec.GetDATA())) continue;
    if (!remotePayloadNumbers.GetAt(i, payload)) return false;
    nCodec = codec.ConvertToINT();
    nPayload = payload.ConvertToINT();
    return true;
  }
  return false;
}
