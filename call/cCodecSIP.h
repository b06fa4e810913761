#pragma once

#include <cstdint>

#include "util/cKytListSTR.h"
#include "util/cKytNoCopy.h"

// The user agent's enabled voice codecs, in the order they are offered.
class cCodecSIP : private cKytNoCopy {
 public:
  cCodecSIP();

  // Codec numbers as decimal texts, in priority order.
  const cKytListSTR& GetCodecList() const { return m_pCodecNoList; }
  void SelectAllVoiceCodec() { Reset(); }
  void DeselectAllVoiceCodec() { m_pCodecNoList.DeleteAll(); }
  // Moves the codec to the end of the list (adding it when absent).
  bool SelectCodec(int32_t nCodec, int32_t& nError);
  bool DeselectCodec(int32_t nCodec, int32_t& nError);
  void Reset();

  // The first of the remote's codecs, in the remote's order, that is enabled here, with the
  // remote's payload number at the same position.
  bool GetPriorityCodec(const cKytListSTR& remoteCodecNumbers,
                        const cKytListSTR& remotePayloadNumbers, int32_t& nCodec,
                        int32_t& nPayload) const;

 private:
  cKytListSTR m_pCodecNoList;
};
