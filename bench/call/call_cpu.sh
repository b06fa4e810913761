#!/usr/bin/env bash
# CPU per call-second of the console phone against baresip's in the same loopback call: kytphone
# (--audio virtual, a tone as microphone, the speaker into a file) calls baresip (a tone from a
# file, what it hears into a file, as the interop tests run it); after the call is up, both
# processes' CPU is sampled from /proc over a talk period. Each round calls once with PCMU and once
# with GSM; prints each call, the medians and the quartiles of the ratio.
#   bash bench/call/call_cpu.sh [BUILD_DIR]      (default build-rel; ROUNDS=9 TALK=10 override;
#                                                  PLUGIN=path runs kytphone with another plug-in)
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build-rel}
rounds=${ROUNDS:-9}
talk=${TALK:-10}
kytphone=$build/host/kytphone
[ -x "$kytphone" ] || { echo "build $kytphone first (ninja -C $build kytphone kyt_plugin)" >&2; exit 1; }
command -v baresip >/dev/null || { echo "baresip is not installed (package baresip-core)" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
sox -n -r 8000 -b 16 -c 1 "$work/ours.wav" synth $((talk + 20)) sine 850
sox -n -r 8000 -b 16 -c 1 "$work/peer.wav" synth $((talk + 20)) sine 440

# Free UDP ports on 127.0.0.1: N in a row from one base.
free_ports() {
  python3 - "$1" <<'PY'
import random, socket, sys
n = int(sys.argv[1])
while True:
    base = random.randrange(20000, 60000 - n)
    socks = []
    try:
        for p in range(base, base + n):
            s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
            s.bind(("127.0.0.1", p))
            socks.append(s)
        print(base)
        break
    except OSError:
        pass
    finally:
        for s in socks:
            s.close()
PY
}

# CPU of every thread of a process in nanoseconds (scheduler statistics, finer than the clock
# ticks of /proc/PID/stat), and the ticks of /proc/PID/stat.
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ s += $1 } END { printf "%d", s }'; }
cpu_ticks() { awk '{ print $14 + $15 }' /proc/"$1"/stat; }

median() { sort -g | awk '{ a[NR] = $1 } END { print (NR % 2) ? a[(NR + 1) / 2] : (a[NR / 2] + a[NR / 2 + 1]) / 2 }'; }
# The first and third quartiles, by the nearest rank.
quartiles() {
  sort -g | awk '{ a[NR] = $1 } END { q1 = int((NR + 3) / 4); q3 = int((3 * NR + 3) / 4); print a[q1] "-" a[q3] }'
}

run_call() {
  local codec=$1 dir=$work/$1-$2
  mkdir -p "$dir"
  local sip ctl rtp ours
  sip=$(free_ports 2)
  rtp=$(free_ports 8)
  ours=$(free_ports 1)
  cat >"$dir/config" <<CFG
poll_method epoll
sip_listen 127.0.0.1:$sip
net_interface 127.0.0.1
call_local_timeout 120
call_max_calls 4
audio_source aufile,$work/peer.wav
ausrc_srate 8000
ausrc_channels 1
auplay_srate 8000
auplay_channels 1
rtcp_mux no
rtp_ports $rtp-$((rtp + 7))
jitter_buffer_delay 1-10
module_path /usr/lib/baresip/modules
module g711.so
module gsm.so
module aufile.so
module sndfile.so
module_tmp account.so
module_app menu.so
snd_path $dir
CFG
  echo "<sip:bob@127.0.0.1>;regint=0;answermode=auto;audio_codecs=$codec" >"$dir/accounts"
  baresip -f "$dir" </dev/null >"$dir/baresip.log" 2>&1 &
  local peer=$!
  pids+=("$peer")
  for _ in $(seq 50); do
    ss -Hlun "sport = :$sip" | grep -q . && break
    sleep 0.1
  done
  cat >"$dir/call.kyt" <<KYT
InitializeEx(true, "127.0.0.1", $ours, "alice", "alice", "secret", "Alice", "127.0.0.1", "sip:127.0.0.1:$sip", "", true, 1)
OpenLine(0, true, "127.0.0.1", 0)
DialCall(0, "bob", 0, 0)
wait OnSuccessToConnect 10
sleep $((talk + 4))
Disconnect(0)
UnInitialize()
quit
KYT
  "$kytphone" ${PLUGIN:+--plugin "$PLUGIN"} --audio virtual --mic "$work/ours.wav" --speaker "$dir/heard.wav" "$dir/call.kyt" \
    >"$dir/kytphone.log" 2>&1 &
  local phone=$!
  pids+=("$phone")
  for _ in $(seq 100); do
    grep -q "@OnSuccessToConnect" "$dir/kytphone.log" && break
    sleep 0.1
  done
  if ! grep -q "@OnSuccessToConnect" "$dir/kytphone.log"; then
    echo "$codec: the call did not come up; kytphone said:" >&2
    cat "$dir/kytphone.log" >&2
    exit 1
  fi
  sleep 2
  local o0 p0 ot0 pt0 o1 p1 ot1 pt1
  o0=$(cpu_ns "$phone"); p0=$(cpu_ns "$peer"); ot0=$(cpu_ticks "$phone"); pt0=$(cpu_ticks "$peer")
  sleep "$talk"
  o1=$(cpu_ns "$phone"); p1=$(cpu_ns "$peer"); ot1=$(cpu_ticks "$phone"); pt1=$(cpu_ticks "$peer")
  wait "$phone" || true
  kill "$peer" 2>/dev/null || true
  wait "$peer" 2>/dev/null || true
  pids=()
  # ms of CPU per call-second: ours, baresip's, ratio; then the /proc/PID/stat ticks.
  awk -v o=$((o1 - o0)) -v p=$((p1 - p0)) -v t="$talk" -v ot=$((ot1 - ot0)) -v pt=$((pt1 - pt0)) \
    'BEGIN { printf "%.3f %.3f %.3f %d %d\n", o / 1e6 / t, p / 1e6 / t, (p > 0 ? o / p : 0), ot, pt }'
}

# The codecs take turns within each round, so a change in the machine's load during the run weighs
# on both alike.
codecs=(PCMU GSM)
for round in $(seq "$rounds"); do
  for codec in "${codecs[@]}"; do
    run_call "$codec" "$round" >"$work/result"
    read -r o p r ot pt <"$work/result"
    echo "$o $p $r" >>"$work/$codec.results"
    printf "%s round %d: ours %s ms/s, baresip %s ms/s, ratio %s (stat ticks %s vs %s)\n" \
      "$codec" "$round" "$o" "$p" "$r" "$ot" "$pt"
  done
done
for codec in "${codecs[@]}"; do
  o=$(awk '{ print $1 }' "$work/$codec.results" | median)
  p=$(awk '{ print $2 }' "$work/$codec.results" | median)
  r=$(awk '{ print $3 }' "$work/$codec.results" | median)
  spread=$(awk '{ print $3 }' "$work/$codec.results" | quartiles)
  printf "%s median: ours %s ms CPU per call-second, baresip %s, ratio %s (quartiles %s)\n" \
    "$codec" "$o" "$p" "$r" "$spread"
done
