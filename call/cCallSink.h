#pragma once

#include <cstdint>

#include "call/cMsgSDP.h"
#include "sip/cKytCoreSink.h"
#include "util/cKytListSTR.h"
#include "util/cKytSTR.h"

class cSIPCall;

// What a call asks of the user agent object beyond the session and the send path: the media of
// its line, the codec choice and its own closing. The user agent object implements it; tests
// implement it to drive calls alone. Main thread only.
class cCallSink : public cKytCoreSink {
 public:
  // Media of a call's line. nILBCModeMs is the iLBC frame length to send (20 or 30).
  virtual bool StartRTP(int32_t nLine, const cKytSTR& remoteIP, int32_t nRemotePort, int32_t nCodec,
                        int32_t nPayloadType, int32_t nILBCModeMs, bool bOutbound,
                        bool bInbound) = 0;
  virtual bool StopRTP(int32_t nLine, bool bStopOutbound, bool bStopInbound) = 0;
  virtual bool GetRTPLineRx(int32_t nLine, cKytSTR& ip, int32_t& nPort) = 0;
  // The SRTP keys of a call's line from now on, per direction, as agreed (SUITE_NONE: plain).
  virtual bool SetMediaKeys(int32_t nLine, const cMsgSDP::sCrypto& send,
                            const cMsgSDP::sCrypto& receive) = 0;
  // Whether a plain RTP/AVP offer over secure signalling is refused (488) rather than answered.
  virtual bool IsSrtpMandatory() const = 0;
  // The codec choice against the enabled codec list, in the remote's order (codec and payload
  // numbers as decimal texts, position by position).
  virtual bool ChoosePriorityCodec(const cKytListSTR& remoteCodecNumbers,
                                   const cKytListSTR& remotePayloadNumbers, int32_t& nCodec,
                                   int32_t& nPayloadType) = 0;
  // Asks the call pool to close this call.
  virtual void CloseCall(cSIPCall* pCall) = 0;
};
