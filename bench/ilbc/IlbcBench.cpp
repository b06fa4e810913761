// Cost of the iLBC coder per second of audio. Each iteration codes three
// seconds of speech; "cpu_per_audio_s" is the processing time per second
// of audio (e.g. 0.002 = 2 ms, 0.2 % of real time).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdint>
#include <ctime>
#include <fstream>
#include <iterator>
#include <vector>

#include "KytRTP/KytCodec/ilbc/cIlbcDecoder.h"
#include "KytRTP/KytCodec/ilbc/cIlbcEncoder.h"
#ifdef KYT_BENCH_FFMPEG
#include "cFfmpegIlbcDecoder.h"
#endif

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

// CPU time of this thread in seconds; the peer and ours alternate within one iteration, so both
// see the same load from the rest of the machine.
double ThreadCpu() {
  timespec ts{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
  return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// Reports ours and the peer's CPU per audio-second in ms, and ours / peer's.
void SetComparison(benchmark::State& state, double fOurs, double fPeer) {
  const double fAudio = static_cast<double>(state.iterations()) * kSeconds;
  state.counters["ours_ms"] = 1e3 * fOurs / fAudio;
  state.counters["peer_ms"] = 1e3 * fPeer / fAudio;
  state.counters["ratio"] = fPeer > 0.0 ? fOurs / fPeer : 0.0;
}

// Our encoder and decoder (enhancer on) on the same speech, against the 3.6 ms per audio-second
// that the reference coder's encoder and decoder cost together in the 30 ms mode on this
// machine class (measured once; it is not run here).
void BM_EncodeDecode(benchmark::State& state) {
  const int nMode = static_cast<int>(state.range(0));
  cIlbcEncoder enc(nMode);
  cIlbcDecoder dec(nMode, true);
  const size_t nSamples = static_cast<size_t>(enc.GetFrameSamples());
  std::vector<uint8_t> frame(static_cast<size_t>(enc.GetFrameBytes()));
  std::vector<float> out(nSamples);
  const std::vector<float>& speech = Speech();
  const double fStart = ThreadCpu();
  for (auto _ : state) {
    for (size_t nPos = 0; nPos + nSamples <= speech.size(); nPos += nSamples) {
      enc.Encode(speech.data() + nPos, frame.data());
      dec.Decode(frame.data(), out.data());
      benchmark::DoNotOptimize(out.data());
    }
  }
  const double fOurs = ThreadCpu() - fStart;
  SetAudioCounter(state);
  if (nMode == 30) {
    constexpr double kReferenceMs = 3.6;
    SetComparison(state, fOurs,
                  kReferenceMs * 1e-3 * static_cast<double>(state.iterations()) * kSeconds);
  }
}

#ifdef KYT_BENCH_FFMPEG
// Our decoder with its enhancer against FFmpeg's iLBC decoder (which has none) on the same
// bitstream, alternating three seconds of each.
void BM_DecodeVsFfmpeg(benchmark::State& state) {
  const int nMode = static_cast<int>(state.range(0));
  const std::vector<uint8_t> bits = EncodeSpeech(nMode);
  cIlbcDecoder dec(nMode, true);
  cFfmpegIlbcDecoder peer(nMode);
  if (!peer.IsOpen()) {
    state.SkipWithError("FFmpeg has no iLBC decoder");
    return;
  }
  const size_t nBytes = static_cast<size_t>(dec.GetFrameBytes());
  std::vector<float> out(static_cast<size_t>(dec.GetFrameSamples()));
  std::vector<int16_t> peerOut(out.size());
  double fOurs = 0.0, fPeer = 0.0;
  bool bPeerFirst = false;
  for (auto _ : state) {
    for (int nTurn = 0; nTurn < 2; nTurn++) {
      const bool bPeer = (nTurn == 0) == bPeerFirst;
      const double fStart = ThreadCpu();
      for (size_t nPos = 0; nPos + nBytes <= bits.size(); nPos += nBytes) {
        if (bPeer) {
          benchmark::DoNotOptimize(peer.Decode(bits.data() + nPos, peerOut.data()));
        } else {
          dec.Decode(bits.data() + nPos, out.data());
          benchmark::DoNotOptimize(out.data());
        }
      }
      (bPeer ? fPeer : fOurs) += ThreadCpu() - fStart;
    }
    bPeerFirst = !bPeerFirst;
  }
  SetComparison(state, fOurs, fPeer);
}
#endif

}  // namespace

#ifdef KYT_BENCH_FFMPEG
BENCHMARK(BM_DecodeVsFfmpeg)->ArgName("ms")->Arg(20)->Arg(30)->Unit(benchmark::kMillisecond);
#endif
BENCHMARK(BM_EncodeDecode)->ArgName("ms")->Arg(20)->Arg(30)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Encode)->ArgName("ms")->Arg(20)->Arg(30)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Decode)
    ->ArgNames({"ms", "enhancer"})
    ->Args({20, 0})
    ->Args({20, 1})
    ->Args({30, 0})
    ->Args({30, 1})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Conceal)->ArgName("ms")->Arg(20)->Arg(30)->Unit(benchmark::kMillisecond);
