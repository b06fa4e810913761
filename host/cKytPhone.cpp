#include "host/cKytPhone.h"

#include <chrono>
#include <cmath>
#include <condition_variable>
#include <deque>
#include <iostream>
#include <mutex>
#include <thread>

#include "host/cNPHost.h"
#include "host/cScriptLine.h"
#include "host/cScriptSignature.h"

namespace {

std::chrono::milliseconds ToMilliseconds(double dSeconds) {
  const double dClamped = dSeconds < 0 ? 0 : std::fmin(dSeconds, cScriptLine::kMaxSeconds);
  return std::chrono::milliseconds(static_cast<int64_t>(dClamped * 1000.0 + 0.5));
}

}  // namespace

bool cKytPhone::ParseOptions(const std::vector<std::string>& args, cOptions* options,
                             std::string* error) {
  std::string audio, mic, speaker, caFile, srtp;
  // The value after an option that takes one.
  auto value = [&](size_t& i, const char* pWhat, std::string* pValue) {
    if (i + 1 >= args.size()) {
      *error = args[i] + " needs " + pWhat;
      return false;
    }
    *pValue = args[++i];
    return true;
  };
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "-h" || arg == "--help") {
      options->bHelp = true;
    } else if (arg == "--keep-going") {
      options->bKeepGoing = true;
    } else if (arg == "--version") {
      options->bVersion = true;
    } else if (arg == "--plugin") {
      if (!value(i, "the path of npKytSIPUserAgent.so", &options->pluginPath)) return false;
    } else if (arg == "--audio") {
      if (!value(i, "pulse or virtual", &audio)) return false;
      if (audio != "pulse" && audio != "virtual") {
        *error = "--audio is pulse or virtual, not " + audio;
        return false;
      }
    } else if (arg == "--mic") {
      if (!value(i, "a WAVE file", &mic)) return false;
    } else if (arg == "--speaker") {
      if (!value(i, "a WAVE file", &speaker)) return false;
    } else if (arg == "--ca-file") {
      if (!value(i, "a PEM file of CA certificates", &caFile)) return false;
    } else if (arg == "--srtp") {
      if (!value(i, "optional or mandatory", &srtp)) return false;
      if (srtp != "optional" && srtp != "mandatory") {
        *error = "--srtp is optional or mandatory, not " + srtp;
        return false;
      }
    } else if (!arg.empty() && arg[0] == '-' && arg != "-") {
      *error = "unknown option " + arg;
      return false;
    } else if (options->commandFile.empty()) {
      options->commandFile = arg == "-" ? std::string() : arg;
    } else {
      *error = "only one command file can be given";
      return false;
    }
  }
  if ((!mic.empty() || !speaker.empty()) && audio != "virtual") {
    *error = std::string(mic.empty() ? "--speaker" : "--mic") + " needs --audio virtual";
    return false;
  }
  // The page's embedding element carries the choice to the plug-in.
  if (!audio.empty()) options->pageAttributes.emplace_back("audio", audio);
  if (!mic.empty()) options->pageAttributes.emplace_back("mic", mic);
  if (!speaker.empty()) options->pageAttributes.emplace_back("speaker", speaker);
  if (!caFile.empty()) options->pageAttributes.emplace_back("ca-file", caFile);
  if (!srtp.empty()) options->pageAttributes.emplace_back("srtp", srtp);
  return true;
}

std::string cKytPhone::HelpText() {
  return R"(Usage: kytphone [--plugin PATH] [--audio pulse|virtual [--mic FILE.wav]
                         [--speaker FILE.wav]] [--ca-file FILE.pem]
                         [--srtp optional|mandatory] [--keep-going]
                         [COMMAND-FILE]

The console phone: loads the softphone plug-in npKytSIPUserAgent.so the way a browser does and
drives it as a web page would. It reads one line at a time from COMMAND-FILE, or from standard
input when no file (or "-") is given; on a terminal it shows the prompt "kyt> ".

Lines:
  Name(arg, ...)          calls the plug-in's script function Name, for example
                            InitializeEx(false, "", 0, "alice", "alice", "secret", "Alice",
                                         "example.com", "sip:127.0.0.1:5060", "", true, 4)
                          Arguments are JavaScript literals: strings in "..." or '...' (with
                          \n \t \" \\ \xHH \uHHHH escapes), integers, decimals, true, false,
                          null and undefined. A trailing ';' is allowed.
                          The answer prints as   => <JSON value>   (null when there is none).
  wait EventName [secs]   runs the phone until EventName fires (default 30 seconds). Each wait
                          takes one firing; firings that happened since the last wait for the
                          same event count, so a wait after the event still returns.
  sleep secs              runs the phone for that many seconds (decimals allowed).
  quit                    ends the run (so does the end of the input).
  $1, $2, ...             in a call: the arguments of the event the last wait took, so that
                          an incoming call can be answered from a file:
                            wait OnIncomingCall 60
                            AcceptCall(0, $1, 0, 0)
                          ($1 of OnIncomingCall is the Call-ID.)
  # ...                   a comment; empty lines are ignored too.

Every event the plug-in fires prints as one line:
  @EventName <JSON array of its arguments>      for example   @OnFailToRegisterEx [403, "Forbidden"]

Options:
  --plugin PATH           the plug-in to load (default: npKytSIPUserAgent.so beside this program,
                          in ../plugin/ or ../lib/mozilla/plugins/ from it, or where the build
                          put it)
  --audio pulse           calls use the desktop's audio server (PulseAudio or PipeWire); the
                          default
  --audio virtual         calls run without sound hardware: the microphone is silent, or
  --mic FILE.wav            plays FILE.wav (8000 Hz mono) once and then silence;
  --speaker FILE.wav        the speaker is written to FILE.wav (otherwise it goes nowhere).
                          --mic and --speaker need --audio virtual.
                          The choice is made when the phone starts, as a web page makes it
                          with the attributes audio="virtual" mic="..." speaker="..." of the
                          element that embeds the plug-in.
  --ca-file FILE.pem      CA certificates trusted for SIP over TLS (a sips: proxy or one with
                          ;transport=tls) besides the system's; a page gives them with the
                          attribute ca-file="..."
  --srtp optional         over secure signalling (a sips: or ;transport=tls proxy) a call
  --srtp mandatory          offered plain RTP is answered with plain RTP (the default), or
                            refused with 488; the attribute srtp="..." of the embedding
                            element makes the same choice. Offers over secure signalling
                            always carry SRTP, and an SRTP offer is always answered with SRTP.
  --keep-going            after a line that is not understood, or a wait that timed out, in a
                          file: report it and run the rest (the exit status is still that of
                          the first problem)
  -h, --help              this text
  --version               the version

Exit status: 0 after quit or the end of the input; when the lines come from a file or a pipe,
1 when a wait timed out, 2 at a line that is not understood or a function the plug-in does not
have; 3 when the plug-in cannot be loaded. On a terminal such problems are reported and the
phone goes on. A file run that stops at a problem calls UnInitialize before it exits.
A call with the wrong number of arguments prints a warning with the count the function expects
(the plug-in then answers its fixed value); wait knows only the plug-in's events.
)";
}

cKytPhone::cKytPhone(cNPHost* pHost, const cNPPage::tAttributes& pageAttributes, std::ostream& out,
                     std::ostream& err)
    : m_pHost(pHost), m_Out(out), m_Err(err), m_Page(pHost, pageAttributes) {
  m_Page.SetAnyEventFunction(
      [this](const std::string& name, const cNPPage::tArgs& args) { OnEvent(name, args); });
}

void cKytPhone::OnEvent(const std::string& name, const cNPPage::tArgs& args) {
  std::deque<cNPPage::tArgs>& pending = m_Pending[name];
  if (pending.size() == kMaxPending) pending.pop_front();
  pending.push_back(args);
  m_Out << '@' << name << ' ' << cJsValue::ToJSON(args) << std::endl;
}

int cKytPhone::Problem(int nLineNo, const std::string& text, int nExitCode, bool bInteractive) {
  if (bInteractive)
    m_Err << "kytphone: " << text << std::endl;
  else
    m_Err << "kytphone: line " << nLineNo << ": " << text << std::endl;
  if (bInteractive) return -1;
  if (m_nFirstProblem == kExitOk) m_nFirstProblem = nExitCode;
  return m_bKeepGoing ? -1 : nExitCode;
}

int cKytPhone::Finish(int nExitCode) {
  if (nExitCode == kExitOk) nExitCode = m_nFirstProblem;
  if (nExitCode != kExitOk) {
    cJsValue ignored;
    m_Page.Invoke("UnInitialize", {}, &ignored);
  }
  return nExitCode;
}

int cKytPhone::RunLine(const std::string& line, int nLineNo, bool bInteractive) {
  cScriptLine parsed;
  if (!parsed.Parse(line)) return Problem(nLineNo, parsed.GetError(), kExitBadLine, bInteractive);
  switch (parsed.GetKind()) {
    case cScriptLine::eKind::kCall:
      return RunCall(parsed, nLineNo, bInteractive);
    case cScriptLine::eKind::kWait:
      return RunWait(parsed, nLineNo, bInteractive);
    case cScriptLine::eKind::kSleep:
      m_pHost->GetMainLoop().RunFor(ToMilliseconds(parsed.GetSeconds()));
      return -1;
    case cScriptLine::eKind::kQuit:
      return kExitOk;
    default:
      return -1;
  }
}

int cKytPhone::RunCall(const cScriptLine& line, int nLineNo, bool bInteractive) {
  cNPPage::tArgs args = line.GetArgs();
  for (size_t i = 0; i < args.size(); ++i) {
    const auto nRef = static_cast<size_t>(line.GetEventRefs()[i]);
    if (nRef == 0) continue;
    if (nRef > m_LastEventArgs.size())
      return Problem(nLineNo,
                     "$" + std::to_string(nRef) + ": the event the last wait took has " +
                         std::to_string(m_LastEventArgs.size()) + " arguments",
                     kExitBadLine, bInteractive);
    args[i] = m_LastEventArgs[nRef - 1];
  }
  const int32_t nExpected = cScriptSignature::ArgCount(line.GetName());
  if (nExpected >= 0 && static_cast<size_t>(nExpected) != args.size()) {
    m_Err << "kytphone: line " << nLineNo << ": warning: " << line.GetName() << " takes "
          << nExpected << " arguments, not " << args.size() << std::endl;
  }
  cJsValue result;
  if (!m_Page.Invoke(line.GetName(), args, &result))
    return Problem(nLineNo, line.GetName() + " is not a function of the plug-in", kExitBadLine,
                   bInteractive);
  m_Out << "=> " << result.ToJSON() << std::endl;
  return -1;
}

int cKytPhone::RunWait(const cScriptLine& line, int nLineNo, bool bInteractive) {
  const std::string& name = line.GetName();
  double dSeconds = line.GetSeconds() >= 0 ? line.GetSeconds() : kDefaultWaitSeconds;
  auto fired = [this, &name] { return !m_Pending[name].empty(); };
  if (!m_pHost->GetMainLoop().RunUntil(fired, ToMilliseconds(dSeconds)))
    return Problem(nLineNo,
                   "wait " + name + ": the event did not fire within " +
                       cJsValue(dSeconds).ToJSON() + " seconds",
                   kExitWaitTimedOut, bInteractive);
  m_LastEventArgs = std::move(m_Pending[name].front());
  m_Pending[name].pop_front();
  return -1;
}

int cKytPhone::RunFile(std::istream& in) {
  int nLineNo = 0;
  for (std::string line; std::getline(in, line);) {
    int nExit = RunLine(line, ++nLineNo, false);
    if (nExit >= 0) return Finish(nExit);
  }
  return Finish(kExitOk);
}

int cKytPhone::RunStdin(bool bInteractive) {
  // The reader thread reads one line each time the phone asks for one, so no read is left
  // blocking when the run ends.
  std::mutex lock;
  std::condition_variable wake;
  bool bWanted = false, bDone = false, bEnd = false;
  std::deque<std::string> lines;
  std::thread reader([&] {
    std::unique_lock<std::mutex> guard(lock);
    for (;;) {
      wake.wait(guard, [&] { return bWanted || bDone; });
      if (bDone) return;
      bWanted = false;
      guard.unlock();
      std::string line;
      bool bGot = static_cast<bool>(std::getline(std::cin, line));
      guard.lock();
      if (bGot)
        lines.push_back(std::move(line));
      else
        bEnd = true;
      m_pHost->GetMainLoop().Post([] {});  // wakes the loop
      if (!bGot) return;
    }
  });

  int nExit = kExitOk;
  for (int nLineNo = 1;; ++nLineNo) {
    if (bInteractive) m_Out << "kyt> " << std::flush;
    {
      std::lock_guard<std::mutex> guard(lock);
      bWanted = true;
    }
    wake.notify_one();
    auto ready = [&] {
      std::lock_guard<std::mutex> guard(lock);
      return !lines.empty() || bEnd;
    };
    while (!m_pHost->GetMainLoop().RunUntil(ready, std::chrono::hours(1))) {
    }
    std::string line;
    {
      std::lock_guard<std::mutex> guard(lock);
      if (lines.empty()) break;  // end of input
      line = std::move(lines.front());
      lines.pop_front();
    }
    int nResult = RunLine(line, nLineNo, bInteractive);
    if (nResult >= 0) {
      nExit = nResult;
      break;
    }
  }
  {
    std::lock_guard<std::mutex> guard(lock);
    bDone = true;
  }
  wake.notify_one();
  reader.join();
  if (bInteractive) m_Out << std::endl;
  return bInteractive ? nExit : Finish(nExit);
}
