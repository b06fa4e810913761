#pragma once

#include <memory>
#include <string>

#include "KytRTP/cKytRTPLib.h"
#include "platform/cAsioMainLoop.h"

namespace mediatest {

// One media engine with a virtual sound device, as a host would set it up.
struct cMediaEngine {
  cMediaEngine(int nLines, const std::string& sMicWave, const std::string& sSpkWave);

  // Opens line n on a free port of 127.0.0.1; answers the port.
  int OpenLoopbackLine(int nLine);

  cAsioMainLoop loop;
  cKytRTPLib lib{&loop};
};

}  // namespace mediatest
