#!/usr/bin/env bash
# Soak of the console phone against SIPp on 127.0.0.1, two runs side by side:
#   - back-to-back calls (default 1000): the phone dials SIPp (which echoes the voice back),
#     sends a DTMF digit, holds and resumes, then one side hangs up (the phone on odd calls,
#     SIPp on even ones);
#   - one continuous call (default 30 minutes) to SIPp with its voice echoed back.
# While they run, /proc gives each phone's resident memory, open descriptors and threads.
# Goals: no failed call, resident memory after the warm-up flat within 2 MB, no descriptor or
# thread growth.
#
#   bash bench/soak/soak.sh [--calls N] [--minutes M] [--keep DIR]
#
# --calls 0 or --minutes 0 leaves that run out. The build folder is $KYT_BUILD_DIR (default
# build); kytphone and the plug-in must be built (ninja -C build kytphone kyt_plugin). A build
# without sanitizers gives the memory figures users see; with them, a sanitizer report fails.
# Exit status 0 when every goal is met.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
here="$root/bench/soak"
build=${KYT_BUILD_DIR:-$root/build}
phone="$build/host/kytphone"

calls=1000
minutes=30
keep=""
while [ $# -gt 0 ]; do
  case "$1" in
    --calls) calls=$2; shift 2 ;;
    --minutes) minutes=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    -h | --help) sed -n '2,16p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "soak.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
[ -x "$phone" ] || { echo "soak.sh: $phone is not built" >&2; exit 2; }
command -v sipp >/dev/null || { echo "soak.sh: sipp is not installed" >&2; exit 2; }

# A sanitizer build keeps freed memory in quarantine, which would read as growth.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=1:thread_local_quarantine_size_kb=64:detect_leaks=1}

if [ -n "$keep" ]; then
  work=$keep
  mkdir -p "$work"
else
  work=$(mktemp -d /tmp/kyt-soak.XXXXXX)
fi
pids=()
stop_all() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  [ -n "$keep" ] || rm -rf "$work"
}
trap stop_all EXIT

# Free UDP ports on 127.0.0.1: "sip" asks for one port, "media" for an even port whose next three
# are free too (SIPp echoes audio on it and video on the one two above).
free_port() {
  python3 - "$1" <<'EOF'
import random, socket, sys
def free(port):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    try:
        s.bind(("127.0.0.1", port))
        return True
    except OSError:
        return False
    finally:
        s.close()
if sys.argv[1] == "sip":
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("127.0.0.1", 0))
    print(s.getsockname()[1])
else:
    while True:
        p = random.randrange(20000, 60000, 2)
        if all(free(p + i) for i in range(4)):
            print(p)
            break
EOF
}

# Samples the process every second until it ends: seconds, connected calls so far, VmRSS kB,
# VmHWM kB, threads, open descriptors.
sample() {
  local pid=$1 out=$2 log=$3 t0=$SECONDS
  while kill -0 "$pid" 2>/dev/null; do
    local rss hwm thr fds n
    rss=$(awk '/^VmRSS/ {print $2}' "/proc/$pid/status" 2>/dev/null) || break
    hwm=$(awk '/^VmHWM/ {print $2}' "/proc/$pid/status" 2>/dev/null) || break
    thr=$(awk '/^Threads/ {print $2}' "/proc/$pid/status" 2>/dev/null) || break
    fds=$(ls "/proc/$pid/fd" 2>/dev/null | wc -l) || break
    n=$(grep -c '^@OnSuccessToConnect' "$log" || true)
    [ -n "$rss" ] && echo "$((SECONDS - t0)) $n $rss $hwm $thr $fds" >>"$out"
    sleep 1
  done
}

header() {
  echo "InitializeEx(true, \"127.0.0.1\", 0, \"alice\", \"alice\", \"secret\", \"Alice\", \"127.0.0.1\", \"sip:127.0.0.1:$1\", \"\", true, 1)"
  echo 'OpenLine(0, true, "127.0.0.1", 0)'
}

# Line numbers of a call's block follow from the header's two lines, so a problem the phone
# reports by line number names its call.
kHeaderLines=2
kBlockLines=12
calls_file() {
  local port=$1 n=$2 i
  header "$port"
  for ((i = 1; i <= n; i++)); do
    echo 'DialCall(0, "bob", 0, 0)'
    echo 'wait OnSuccessToConnect 10'
    echo 'sleep 0.2'
    echo "DigitDTMF(0, \"$((i % 10))\")"
    echo 'sleep 0.2'
    echo 'HoldLine(0)'
    echo 'wait OnSuccessToHold 10'
    echo 'UnHoldLine(0)'
    echo 'wait OnSuccessToUnHold 10'
    echo 'sleep 0.2'
    if ((i % 2 == 1)); then
      echo 'Disconnect(0)'
      echo 'sleep 0.3'
    else
      echo 'wait OnDisconnectCall 10'
      echo 'sleep 0.1'
    fi
  done
  echo 'sleep 3'
  echo 'UnInitialize()'
  echo 'quit'
}

long_file() {
  local port=$1 secs=$2
  header "$port"
  echo 'DialCall(0, "bob", 0, 0)'
  echo 'wait OnSuccessToConnect 10'
  echo "sleep $secs"
  echo 'GetCountPacketLost(0)'
  echo 'IsLineConnected(0)'
  echo 'Disconnect(0)'
  echo 'sleep 1'
  echo 'UnInitialize()'
  echo 'quit'
}

# start NAME SCENARIO MAXCALLS COMMANDS: SIPp answering on its own ports, then the phone.
start() {
  local name=$1 scenario=$2 max=$3 commands=$4 sip media
  sip=$(free_port sip)
  media=$(free_port media)
  "$commands" "$sip" "$5" >"$work/$name.kyt"
  (cd "$work" && exec nice sipp -sf "$scenario" -i 127.0.0.1 -p "$sip" -mi 127.0.0.1 \
    -mp "$media" -rtp_echo -m "$max" -nostdin -trace_stat -stf "$name.sipp.csv" -fd 3600 \
    -trace_err -error_file "$name.sipp.err" >"$name.sipp.out" 2>&1) &
  pids+=($!)
  eval "${name}_sipp=$!"
  sleep 0.5
  nice "$phone" --audio virtual --keep-going "$work/$name.kyt" >"$work/$name.out" \
    2>"$work/$name.err" &
  pids+=($!)
  eval "${name}_phone=$!"
  sample "$!" "$work/$name.samples" "$work/$name.out" &
  pids+=($!)
}

runs=()
if ((calls > 0)); then
  start calls "$here/uas_hold_dtmf.xml" "$calls" calls_file "$calls"
  runs+=(calls)
fi
if ((minutes > 0)); then
  start long "$root/tests/host/data/uas_awaits_bye.xml" 1 long_file "$((minutes * 60))"
  runs+=(long)
fi
echo "soak: work folder $work; $calls calls, a ${minutes}-minute call"

fail=0
for name in "${runs[@]}"; do
  phone_pid=${name}_phone
  sipp_pid=${name}_sipp
  phone_rc=0
  wait "${!phone_pid}" || phone_rc=$?
  # SIPp ends by itself once its calls are done; a call it still waits for ends with a kill.
  for _ in 1 2 3 4 5 6 7 8 9 10; do kill -0 "${!sipp_pid}" 2>/dev/null || break; sleep 1; done
  kill "${!sipp_pid}" 2>/dev/null || true
  wait "${!sipp_pid}" 2>/dev/null
  sleep 1

  # Calls in which the phone reported a problem (a wait that timed out), by line number.
  if [ "$name" = calls ]; then
    agent_failed=$(grep -o '^kytphone: line [0-9]*' "$work/$name.err" |
      awk -v h=$kHeaderLines -v b=$kBlockLines '{ n = int(($3 - h - 1) / b) + 1; if (n >= 1) print n }' |
      sort -u | wc -l)
    total=$calls
  else
    agent_failed=$(grep -c '^kytphone: line' "$work/$name.err" || true)
    # The far end hanging up early is a failed call too.
    if grep -q '^@OnDisconnectCall' "$work/$name.out"; then agent_failed=1; fi
    # IsLineConnected's answer, the third line from the end: still connected after all that time.
    if [ "$(tail -n 3 "$work/$name.out" | head -n 1)" != "=> 1" ]; then agent_failed=1; fi
    total=1
  fi
  sipp_failed=$(awk -F';' 'NR == 1 { for (i = 1; i <= NF; i++) if ($i == "FailedCall(C)") c = i }
    END { if (c) print $c; else print "?" }' "$work/$name.sipp.csv" 2>/dev/null || echo "?")
  sipp_ok=$(awk -F';' 'NR == 1 { for (i = 1; i <= NF; i++) if ($i == "SuccessfulCall(C)") c = i }
    END { if (c) print $c; else print "?" }' "$work/$name.sipp.csv" 2>/dev/null || echo "?")
  leaks=$(grep -c 'ERROR: LeakSanitizer\|ERROR: AddressSanitizer' "$work/$name.err" || true)

  # Samples after the warm-up (the first 5 % of the calls, or of the call's length); the end is
  # the last sample before the phone shut down.
  samples="$work/$name.samples"
  if [ "$name" = calls ]; then
    warm=$(((calls + 19) / 20))
    half=$(((calls + 1) / 2))
    last=$calls
    col=2
  else
    warm=$((minutes * 3))
    half=$((minutes * 30))
    last=$((minutes * 60))
    col=1
  fi
  read -r f_rss < <(awk -v c=$col '$c >= 1 { print $3; exit }' "$samples")
  read -r s_rss s_thr s_fds < <(awk -v c=$col -v w=$warm '$c >= w { print $3, $5, $6; exit }' "$samples")
  read -r m_rss m_thr m_fds < <(awk -v c=$col -v w=$half '$c >= w { print $3, $5, $6; exit }' "$samples")
  read -r e_rss e_thr e_fds < <(awk -v c=$col -v w=$warm -v l=$last '$c >= w && $c <= l { r = $3; t = $5; f = $6 } END { print r, t, f }' "$samples")
  read -r lo hi maxthr maxfds hwm < <(awk -v c=$col -v w=$warm -v l=$last '$c >= w && $c <= l {
      if (lo == "" || $3 < lo) lo = $3; if ($3 > hi) hi = $3; if ($5 > t) t = $5; if ($6 > f) f = $6; h = $4 }
      END { print lo, hi, t, f, h }' "$samples")

  verdict=PASS
  why=""
  if [ "$agent_failed" != 0 ] || [ "$sipp_failed" != 0 ] || [ "$phone_rc" != 0 ]; then
    verdict=FAIL; why="$why failed-calls"
  fi
  [ "$leaks" = 0 ] || { verdict=FAIL; why="$why sanitizer"; }
  if [ -z "$lo" ] || ((hi - lo > 2048)); then verdict=FAIL; why="$why rss"; fi
  if [ -z "$s_fds" ] || ((maxfds > s_fds)) || ((maxthr > s_thr)); then
    verdict=FAIL; why="$why fds/threads"
  fi
  [ $verdict = PASS ] || fail=1

  echo
  if [ "$name" = calls ]; then
    echo "== $total back-to-back calls (hold, resume, DTMF; hang-up sides alternating)"
  else
    echo "== one call of $minutes minutes"
  fi
  echo "failed calls: phone $agent_failed, SIPp $sipp_failed (SIPp completed $sipp_ok); phone exit $phone_rc, sanitizer reports $leaks"
  echo "RSS kB at the first call $f_rss; after warm-up: start $s_rss, middle $m_rss, end $e_rss (range $lo..$hi, spread $((${hi:-0} - ${lo:-0})) kB; VmHWM $hwm kB)"
  echo "descriptors: start $s_fds, middle $m_fds, end $e_fds, max $maxfds"
  echo "threads: start $s_thr, middle $m_thr, end $e_thr, max $maxthr"
  echo "$verdict$([ -n "$why" ] && echo " ($why )")"
done
exit $fail
