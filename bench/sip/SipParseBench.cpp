// SIP parse+render throughput, ours against libosip2 on the same bytes, in one run. A pass parses
// every message of the corpus and renders it back to text. BM_SideBySide alternates batches of
// passes of both and prints ours, libosip2's (messages per CPU second) and the ratio; BM_Ours and
// BM_Osip2 measure each alone, e.g. for a profile. Usage: bench_sip [Google Benchmark flags]
#include <benchmark/benchmark.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include "sip/cMsgSIP.h"
#include "util/cKytSTR.h"

#ifdef KYT_HAVE_OSIP2
#include <osipparser2/osip_message.h>
#include <osipparser2/osip_parser.h>
#include <osipparser2/osip_port.h>
#endif

namespace {

constexpr std::array<const char*, 6> kCorpus = {"register.sip", "unauthorized.sip", "invite.sip",
                                                "ok.sip",       "message.sip",      "notify.sip"};

const std::vector<std::string>& Messages() {
  static const std::vector<std::string> messages = [] {
    std::vector<std::string> out;
    for (const char* pName : kCorpus) {
      std::ifstream in(std::string(KYT_SIP_CORPUS) + "/" + pName, std::ios::binary);
      out.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
      if (out.back().empty()) {
        std::fprintf(stderr, "cannot read %s/%s\n", KYT_SIP_CORPUS, pName);
        std::exit(1);
      }
    }
    return out;
  }();
  return messages;
}

// One parse and one render of a message; false when it does not parse.
bool OursOnce(const cKytSTR& packet, cKytSTR& text) {
  std::unique_ptr<cMsgSIP> pMsg = cMsgSIP::initWithPacketSIP(packet);
  if (!pMsg) return false;
  pMsg->GetMsgText(text);
  return !text.IsZeroLEN();
}

// Batches this long make the clock's own cost negligible.
constexpr int kPassesPerBatch = 32;

// CPU time of the process, which is this one thread: the machine's other load is not counted.
double CpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

std::vector<cKytSTR> OurPackets() {
  std::vector<cKytSTR> packets;
  for (const std::string& message : Messages()) packets.emplace_back(message.c_str());
  return packets;
}

// One pass over the corpus; false when a message does not parse.
bool OursPass(const std::vector<cKytSTR>& packets, cKytSTR& text) {
  bool bOk = true;
  for (const cKytSTR& packet : packets) {
    bOk = OursOnce(packet, text) && bOk;
    benchmark::DoNotOptimize(text.GetDATA());
  }
  return bOk;
}

void BM_Ours(benchmark::State& state) {
  const std::vector<cKytSTR> packets = OurPackets();
  cKytSTR text;
  for (auto _ : state) {
    if (!OursPass(packets, text)) state.SkipWithError("a corpus message did not parse");
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(packets.size()));
}
BENCHMARK(BM_Ours);

#ifdef KYT_HAVE_OSIP2
bool OsipOnce(const std::string& packet) {
  osip_message_t* pMsg = nullptr;
  if (osip_message_init(&pMsg) != 0) return false;
  bool bOk = osip_message_parse(pMsg, packet.data(), packet.size()) == 0;
  char* pText = nullptr;
  size_t nLength = 0;
  if (bOk) bOk = osip_message_to_str(pMsg, &pText, &nLength) == 0 && nLength > 0;
  benchmark::DoNotOptimize(pText);
  osip_free(pText);
  osip_message_free(pMsg);
  return bOk;
}

bool OsipPass() {
  static const bool bReady = [] {
    parser_init();
    return true;
  }();
  bool bOk = bReady;
  for (const std::string& packet : Messages()) bOk = OsipOnce(packet) && bOk;
  return bOk;
}

void BM_Osip2(benchmark::State& state) {
  for (auto _ : state) {
    if (!OsipPass()) state.SkipWithError("a corpus message did not parse");
  }
  state.SetItemsProcessed(state.iterations() * static_cast<int64_t>(Messages().size()));
}
BENCHMARK(BM_Osip2);
#endif

// Both parsers in turn, each batch timed on the CPU clock.
void BM_SideBySide(benchmark::State& state) {
  const std::vector<cKytSTR> packets = OurPackets();
  cKytSTR text;
  double nOurs = 0;
#ifdef KYT_HAVE_OSIP2
  double nTheirs = 0;
#endif
  for (auto _ : state) {
    const double nStart = CpuSeconds();
    for (int i = 0; i < kPassesPerBatch; ++i) {
      if (!OursPass(packets, text)) state.SkipWithError("a corpus message did not parse");
    }
    const double nMiddle = CpuSeconds();
    nOurs += nMiddle - nStart;
#ifdef KYT_HAVE_OSIP2
    for (int i = 0; i < kPassesPerBatch; ++i) {
      if (!OsipPass()) state.SkipWithError("libosip2 did not parse a corpus message");
    }
    nTheirs += CpuSeconds() - nMiddle;
#endif
  }
  const double nMessages = static_cast<double>(state.iterations()) * kPassesPerBatch *
                           static_cast<double>(packets.size());
  state.counters["ours_msg_per_s"] = nOurs > 0 ? nMessages / nOurs : 0;
#ifdef KYT_HAVE_OSIP2
  state.counters["libosip2_msg_per_s"] = nTheirs > 0 ? nMessages / nTheirs : 0;
  state.counters["ratio"] = nOurs > 0 ? nTheirs / nOurs : 0;
#else
  state.SetLabel("libosip2 not built in: install libosip2-dev and configure again");
#endif
}
BENCHMARK(BM_SideBySide);

}  // namespace
