#include "cMediaEngine.h"

#include <gtest/gtest.h>

#include "audio/cVirtualAudioBackend.h"
#include "tests/support/cLoopbackPort.h"

namespace mediatest {

cMediaEngine::cMediaEngine(int nLines, const std::string& sMicWave, const std::string& sSpkWave) {
  EXPECT_TRUE(lib.SetAudioBackend(std::make_unique<cVirtualAudioBackend>(sMicWave, sSpkWave)));
  EXPECT_TRUE(lib.InitOBJECT(nLines));
}

int cMediaEngine::OpenLoopbackLine(int nLine) {
  EXPECT_TRUE(lib.OpenLine(nLine, true, "127.0.0.1", kyttest::cLoopbackPort::FreeUdp(2)))
      << lib.GetObjectError();
  EXPECT_TRUE(lib.IsLineOpen(nLine));
  return lib.GetLineRxPort(nLine);
}

}  // namespace mediatest
