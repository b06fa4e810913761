#include <benchmark/benchmark.h>

#include <cmath>
#include <fstream>
#include <vector>

#include "audio/cRecordFile.h"

namespace {

// Resident memory of this process in kB, from /proc.
long ResidentKb() {
  std::ifstream statm("/proc/self/statm");
  long nPages = 0, nResident = 0;
  statm >> nPages >> nResident;
  return nResident * 4;
}

}  // namespace

// 30 minutes of a call recorded, both sides: the process's memory must stay flat. Reports the
// growth of resident memory over the call (rss_growth_kb) and after the first minute.
static void BM_Recording30Minutes(benchmark::State& state) {
  constexpr int kUnitsPerMinute = 3000;
  std::vector<int16_t> unit(160);
  for (int i = 0; i < 160; ++i) unit[i] = static_cast<int16_t>(6000 * std::sin(i * 0.3));
  for (auto _ : state) {
    cRecordFile recorder;
    recorder.Init();
    recorder.StartRecord(cRecordFile::kRecordBoth, false);
    long nAfterOneMinute = 0;
    const long nStart = ResidentKb();
    for (uint32_t n = 0; n < 30u * kUnitsPerMinute; ++n) {
      recorder.OnMicUnitPCM(unit.data());
      recorder.OnSocketRecv(n & 0xFFFF, 0, n * 160, unit.data(), 320);
      recorder.OnTimerTick();
      if (n == kUnitsPerMinute) nAfterOneMinute = ResidentKb();
    }
    state.counters["rss_growth_kb"] = static_cast<double>(ResidentKb() - nStart);
    state.counters["rss_growth_after_first_minute_kb"] =
        static_cast<double>(ResidentKb() - nAfterOneMinute);
    state.counters["stored_units"] = recorder.GetStoredUnits();
  }
}

BENCHMARK(BM_Recording30Minutes)->Iterations(1)->Unit(benchmark::kMillisecond);
