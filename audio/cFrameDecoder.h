#pragma once

#include <cstdint>

class cQueueObject;

// The receive path's decoder, as a jitter buffer sees it for the packets it keeps coded: a codec
// that conceals its own losses (iLBC) is decoded as it plays, so that its decoder meets every
// frame in stream order, and a lost one as a concealed frame.
class cFrameDecoder {
 public:
  // Room a decoded packet may take: 80 ms.
  static constexpr int kMaxSamples = 640;

  virtual ~cFrameDecoder() = default;
  // Decodes a queued packet into pPCM (room for kMaxSamples); the samples written, 0 if none.
  virtual int DecodeFrame(const cQueueObject& packet, int16_t* pPCM) = 0;
  // Up to nSamples of the codec's own concealment of a lost stretch, in whole frames; the samples
  // written, 0 when the codec has none.
  virtual int ConcealFrame(int nCodecNo, int16_t* pPCM, int nSamples) = 0;
};
