#pragma once

#include "audio/cG711Codec.h"

// G.711 mu-law.
class cG711uCodec : public cG711Codec {
 public:
  cG711uCodec();
};
