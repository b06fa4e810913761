// Cost of the iLBC coder per second of audio. Each iteration codes three
// seconds of speech; "cpu_per_audio_s" is the processing time per second
// of audio (e.g. 0.002 = 2 ms, 0.2 % of real time).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <fstream>
#include <iterator>
#include <vector>

#include "KytRTP/KytCodec/ilbc/cIlbcDecoder.h"
#include "KytRTP/KytCodec/ilbc/cIlbcEncoder.h"

namespace {

constexpr int kSeconds = 3;
constexpr int kRate = 8000;

// Three seconds of speech, repeated from the test vector if needed.
const std::vector<float>& Speech() {
  static const std::vector<float> speech = [] {
    std::ifstream in(KYT_ILBC_SPEECH, std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in),
                                     std::istreambuf_iterator<char>()};
    std::vector<float> out(kSeconds * kRate, 0.0f);
    const size_t nAvail = bytes.size() / 2;
    for (size_t i = 0; i < out.size() && nAvail > 0; i++) {
      const size_t j = i % nAvail;
      out[i] = static_cast<int16_t>(bytes[2 * j] | (bytes[2 * j + 1] << 8));
    }
    return out;
  }();
  return speech;
}

std::vector<uint8_t> EncodeSpeech(int nMode) {
  cIlbcEncoder enc(nMode);
  const size_t nSamples = static_cast<size_t>(enc.GetFrameSamples());
  std::vector<uint8_t> bits(Speech().size() / nSamples * static_cast<size_t>(enc.GetFrameBytes()));
  for (size_t f = 0; (f + 1) * nSamples <= Speech().size(); f++) {
    enc.Encode(Speech().data() + f * nSamples,
               bits.data() + f * static_cast<size_t>(enc.GetFrameBytes()));
  }
  return bits;
}

void SetAudioCounter(benchmark::State& state) {
  state.counters["cpu_per_audio_s"] = benchmark::Counter(
      kSeconds, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_Encode(benchmark::State& state) {
  const int nMode = static_cast<int>(state.range(0));
  cIlbcEncoder enc(nMode);
  const size_t nSamples = static_cast<size_t>(enc.GetFrameSamples());
  std::vector<uint8_t> frame(static_cast<size_t>(enc.GetFrameBytes()));
  const std::vector<float>& speech = Speech();
  for (auto _ : state) {
    for (size_t nPos = 0; nPos + nSamples <= speech.size(); nPos += nSamples) {
      enc.Encode(speech.data() + nPos, frame.data());
      benchmark::DoNotOptimize(frame.data());
    }
  }
  SetAudioCounter(state);
}

void BM_Decode(benchmark::State& state) {
  const int nMode = static_cast<int>(state.range(0));
  const bool bEnhancer = state.range(1) != 0;
  const std::vector<uint8_t> bits = EncodeSpeech(nMode);
  cIlbcDecoder dec(nMode, bEnhancer);
  const size_t nBytes = static_cast<size_t>(dec.GetFrameBytes());
  std::vector<float> out(static_cast<size_t>(dec.GetFrameSamples()));
  for (auto _ : state) {
    for (size_t nPos = 0; nPos + nBytes <= bits.size(); nPos += nBytes) {
      dec.Decode(bits.data() + nPos, out.data());
      benchmark::DoNotOptimize(out.data());
    }
  }
  SetAudioCounter(state);
}

void BM_Conceal(benchmark::State& state) {
  const int nMode = static_cast<int>(state.range(0));
  cIlbcDecoder dec(nMode);
  const size_t nSamples = static_cast<size_t>(dec.GetFrameSamples());
  std::vector<float> out(nSamples);
  for (auto _ : state) {
    for (size_t n = 0; n < kSeconds * kRate / nSamples; n++) {
      dec.DecodeLost(out.data());
      benchmark::DoNotOptimize(out.data());
    }
  }
  SetAudioCounter(state);
}

}  // namespace

BENCHMARK(BM_Encode)->ArgName("ms")->Arg(20)->Arg(30)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)
    ->ArgNames({"ms", "enhancer"})
    ->Args({20, 0})
    ->Args({20, 1})
    ->Args({30, 0})
    ->Args({30, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Conceal)->ArgName("ms")->Arg(20)->Arg(30)->Unit(benchmark::kMillisecond);
