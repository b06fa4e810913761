#pragma once

#include "audio/cG711Codec.h"

// G.711 A-law.
class cG711aCodec : public cG711Codec {
 public:
  cG711aCodec();
};
