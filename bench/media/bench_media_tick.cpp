#include <benchmark/benchmark.h>

#include <asio/io_context.hpp>
#include <cmath>
#include <ctime>
#include <vector>

#include "KytRTP/cKytRTPObject.h"
#include "audio/cVirtualAudioBackend.h"

// One 20 ms sound tick of the media engine with every line streaming: the microphone unit is
// mixed, encoded and sent on every line, each line receives its own stream back over
// 127.0.0.1 (parse, decode, jitter buffer), and the speaker and conference mix is made.
static void BM_MediaTick(benchmark::State& state) {
  const int nLines = static_cast<int>(state.range(0));
  const int nCodec = static_cast<int>(state.range(1));
  const int nPayloadTypes[] = {0, 8, 3, 98};
  asio::io_context context;
  cKytRTPObject object(context);
  object.SetAudioBackend(std::make_unique<cVirtualAudioBackend>("", ""));
  if (!object.InitOBJECT(nLines, nullptr)) {
    state.SkipWithError("init failed");
    return;
  }
  for (int n = 0; n < nLines; ++n) {
    if (!object.OpenLine(n, true, "127.0.0.1", 0)) {
      state.SkipWithError("no port");
      return;
    }
    object.LineStartRTP(n, "127.0.0.1", object.GetLineRxPort(n), nCodec, nPayloadTypes[nCodec],
                        true, true);
  }
  std::vector<int16_t> mic(160);
  for (int i = 0; i < 160; ++i) mic[i] = static_cast<int16_t>(8000 * std::sin(i * 0.785));
  int16_t spk[160], c0[160], c1[160];
  timespec start{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &start);
  for (auto _ : state) {
    object.OnMicData(mic.data());
    context.restart();
    context.poll();
    benchmark::DoNotOptimize(object.GetSpkPlay(spk, c0, c1));
  }
  state.SetLabel(std::to_string(nLines) + " lines, codec " + std::to_string(nCodec));
  // This thread's CPU per tick as a percentage of the tick's 20 ms.
  timespec end{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &end);
  const double fCpu = static_cast<double>(end.tv_sec - start.tv_sec) +
                      1e-9 * static_cast<double>(end.tv_nsec - start.tv_nsec);
  if (state.iterations() > 0) {
    state.counters["tick_pct"] = 100.0 * fCpu / static_cast<double>(state.iterations()) / 0.020;
  }
}

BENCHMARK(BM_MediaTick)
    ->ArgsProduct({{1, 8, 64}, {0, 1, 2, 3}})
    ->ArgNames({"lines", "codec"})
    ->Unit(benchmark::kMicrosecond);
