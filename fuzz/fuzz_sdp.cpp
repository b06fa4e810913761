// A received offer (or answer) against our codec list: every reader of the description, the codec
// both sides share, and our answer built from what was read, which must read back with our port
// and our codecs.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "call/cCodecSIP.h"
#include "call/cMsgSDP.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize) {
  const std::string text(reinterpret_cast<const char*>(pData), nSize);
  cMsgSDP offer;
  offer.initWithPacketSDP(text.c_str());
  cKytSTR ip, direction;
  offer.GetAudioConnectionIP(ip);
  int32_t nRemotePort = 0;
  cKytListSTR codecNumbers, payloadNumbers;
  offer.GetMediaAudio(nRemotePort, codecNumbers, payloadNumbers);
  offer.GetMagicNoDTMF();
  offer.GetHoldAttrib(direction);
  offer.IsRemoteHold();

  cCodecSIP codecs;
  int32_t nCodec = -1;
  int32_t nPayload = -1;
  codecs.GetPriorityCodec(codecNumbers, payloadNumbers, nCodec, nPayload);

  cMsgSDP answer;
  answer.SetILBCMode(offer.GetILBCMode());
  cKytSTR answerText;
  const int32_t nPort = 40000;
  if (!answer.CreateSDP("alice", offer.IsRemoteHold() ? "recvonly" : "sendrecv", "127.0.0.1",
                        "127.0.0.1", nPort, codecs.GetCodecList(), answerText))
    return 0;
  cMsgSDP readBack;
  readBack.initWithPacketSDP(answerText);
  int32_t nPortBack = 0;
  cKytListSTR codecsBack, payloadsBack;
  if (!readBack.GetMediaAudio(nPortBack, codecsBack, payloadsBack) || nPortBack != nPort ||
      codecsBack.GetCount() != codecs.GetCodecList().GetCount() ||
      readBack.GetILBCMode() != offer.GetILBCMode())
    std::abort();
  return 0;
}
