#!/usr/bin/env bash
# Flood of the console phone on 127.0.0.1 while it is registered and in a call:
#   - SIPp registers it and answers its call; the call's voice (a tone from the virtual
#     microphone) goes to a small echo, which logs each RTP arrival and sends it back;
#   - SIPp then sends 200 forged INVITEs a second, each from a new source port, for 60 s, and
#     10,000 random datagrams a second go to the phone's SIP port for 10 s in the middle of it;
#   - throughout, an OPTIONS every 20 ms times the phone's answer; after the flood a CANCEL for
#     20 of the forged calls a second tells which of them the phone still holds as ringing.
# The phone's proxy is the relay in flood_tools.py, which passes SIP between it and SIPp and sends
# the probes from its own port, so that their answers come back whether the phone answers to the
# Via or to its proxy.
# Goals: no voice gap over 100 ms (RTP arrivals at the echo, silence in the phone's speaker
# recording), every OPTIONS answered within 100 ms, memory bounded (the peak is printed), no
# forged call still ringing 64*T1 (32 s) after the flood.
#
#   bash bench/flood/flood.sh [--rate N] [--seconds S] [--noise-media] [--keep DIR]
#
# --noise-media sends the random datagrams to the phone's RTP and RTCP ports too, in turn with
# its SIP port.
# The build folder is $KYT_BUILD_DIR (default build); kytphone and the plug-in must be built.
# Exit status 0 when every goal is met.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
here="$root/bench/flood"
build=${KYT_BUILD_DIR:-$root/build}
phone="$build/host/kytphone"
tools="$here/flood_tools.py"

rate=200
seconds=60
noise_rate=10000
noise_seconds=10
keep=""
noise_media=0
while [ $# -gt 0 ]; do
  case "$1" in
    --rate) rate=$2; shift 2 ;;
    --seconds) seconds=$2; shift 2 ;;
    --keep) keep=$2; shift 2 ;;
    --noise-media) noise_media=1; shift ;;
    -h | --help) sed -n '2,21p' "$0" | sed 's/^# \{0,1\}//'; exit 0 ;;
    *) echo "flood.sh: unknown argument $1" >&2; exit 2 ;;
  esac
done
[ -x "$phone" ] || { echo "flood.sh: $phone is not built" >&2; exit 2; }
command -v sipp >/dev/null || { echo "flood.sh: sipp is not installed" >&2; exit 2; }
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16:detect_leaks=1}

if [ -n "$keep" ]; then
  work=$keep
  mkdir -p "$work"
else
  work=$(mktemp -d /tmp/kyt-flood.XXXXXX)
fi
pids=()
stop_all() {
  exec 7>&- 2>/dev/null
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  [ -n "$keep" ] || rm -rf "$work"
}
trap stop_all EXIT

free_ports() {
  python3 - "$1" <<'EOF'
import socket, sys
socks = []
for _ in range(int(sys.argv[1])):
    s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
    s.bind(("127.0.0.1", 0))
    socks.append(s)
print(" ".join(str(s.getsockname()[1]) for s in socks))
EOF
}
read -r agent_port peer_port echo_port relay_port < <(free_ports 4)
invites=$((rate * seconds))

# A tone long enough for the whole call, as the virtual microphone's file.
python3 - "$work/tone.wav" "$((seconds + 150))" <<'EOF'
import math, struct, sys, wave
rate, secs = 8000, int(sys.argv[2])
one = b"".join(struct.pack("<h", int(8000 * math.sin(2 * math.pi * 440 * i / rate))) for i in range(rate))
with wave.open(sys.argv[1], "wb") as w:
    w.setnchannels(1); w.setsampwidth(2); w.setframerate(rate)
    w.writeframes(one * secs)
EOF

now() { date +%s.%N; }
wait_for() {  # wait_for PATTERN FILE SECONDS
  local i
  for ((i = 0; i < $3 * 10; i++)); do grep -q "$1" "$2" 2>/dev/null && return 0; sleep 0.1; done
  return 1
}

python3 "$tools" echo "$echo_port" "$work/echo.log" &
pids+=($!)
probe_seconds=42
python3 "$tools" relay "$relay_port" "$agent_port" "$peer_port" "$work" "$probe_seconds" "$invites" &
relay_pid=$!
pids+=("$relay_pid")
(cd "$work" && exec sipp -sf "$here/peer.xml" -i 127.0.0.1 -p "$peer_port" \
  -key media_port_peer "$echo_port" -nostdin -trace_err -error_file peer.err >peer.out 2>&1) &
pids+=($!)
sleep 0.5

# The phone reads its lines from a pipe, so that the script decides when the call ends.
mkfifo "$work/commands"
"$phone" --audio virtual --mic "$work/tone.wav" --speaker "$work/heard.wav" --keep-going \
  <"$work/commands" >"$work/phone.out" 2>"$work/phone.err" &
phone_pid=$!
pids+=("$phone_pid")
exec 7>"$work/commands"
cat >&7 <<EOF
InitializeEx(true, "127.0.0.1", $agent_port, "alice", "alice", "secret", "Alice", "127.0.0.1", "sip:127.0.0.1:$relay_port", "", true, 1)
RegisterToProxy(3600)
wait OnSuccessToRegister 10
OpenLine(0, true, "127.0.0.1", 0)
DialCall(0, "bob", 0, 0)
wait OnSuccessToConnect 10
EOF
if ! wait_for '^@OnSuccessToConnect' "$work/phone.out" 15; then
  echo "flood.sh: the phone did not register and connect its call; see $work" >&2
  cat "$work/phone.out" "$work/phone.err" >&2
  keep=$work
  exit 1
fi

(while kill -0 "$phone_pid" 2>/dev/null; do
  awk -v t="$(now)" -v fds="$(ls /proc/$phone_pid/fd 2>/dev/null | wc -l)" \
    '/^VmRSS/ {r = $2} /^VmHWM/ {h = $2} /^Threads/ {n = $2} END {print t, r, h, fds, n}' \
    "/proc/$phone_pid/status" 2>/dev/null
  sleep 0.5
done >"$work/samples") &
pids+=($!)

sleep 5

echo "flood: work folder $work; phone on 127.0.0.1:$agent_port; $rate INVITEs/s for $seconds s, $noise_rate datagrams/s for $noise_seconds s"
t0=$(now)
(cd "$work" && exec sipp -sf "$here/forged_invite.xml" "127.0.0.1:$agent_port" -i 127.0.0.1 -t un \
  -r "$rate" -rp 1000 -m "$invites" -max_socket 10000 -nostdin -trace_err -error_file flood.err \
  >flood.out 2>&1) &
flood_pid=$!
pids+=("$flood_pid")
sleep $(((seconds - noise_seconds) / 2))
noise_ports=$agent_port
((noise_media)) && noise_ports=$(python3 "$tools" ports "$phone_pid")
noise_sent=$(python3 "$tools" noise "$noise_ports" "$noise_rate" "$noise_seconds")
wait "$flood_pid"
t1=$(now)
touch "$work/flood.done"
for ((i = 0; i < (probe_seconds + 10) * 2; i++)); do [ -e "$work/probe.done" ] && break; sleep 0.5; done
sleep 2
touch "$work/stop"
wait "$relay_pid"

cat >&7 <<EOF
IsLineConnected(0)
Disconnect(0)
sleep 1
UnInitialize()
quit
EOF
exec 7>&-
phone_rc=0
wait "$phone_pid" || phone_rc=$?
connected=$(grep -c '^=> 1$' "$work/phone.out" || true)
incoming=$(grep -c '^@OnIncomingCall ' "$work/phone.out" || true)
sanitizer=$(grep -c 'ERROR: LeakSanitizer\|ERROR: AddressSanitizer' "$work/phone.err" || true)
flood_sent=$(grep 'Total Calls created' "$work/flood.out" | tail -n 1 | awk -F'|' '{ gsub(/ /, "", $3); print $3 }')

figures=$(python3 "$tools" report "$t0" "$t1" "$work/echo.log" "$work/options.log" \
  "$work/probe.log" "$work/samples" "$work/heard.wav")
fig() { python3 -c 'import json, sys; print(json.loads(sys.argv[1])[sys.argv[2]])' "$figures" "$1"; }

verdict=PASS
why=""
fail() { verdict=FAIL; why="$why $1"; }
awk -v g="$(fig rtp_gap_ms)" 'BEGIN { exit !(g >= 0 && g <= 100) }' || fail rtp-gap
(($(fig speaker_silence_ms) <= 100)) || fail speaker-gap
awk -v m="$(fig options_max_ms)" 'BEGIN { exit !(m >= 0 && m <= 100) }' || fail options
(($(fig probes_after_32s) > 0 && $(fig pending_after_32s) == 0)) && awk -v s="$(fig pending_last_seen_s)" 'BEGIN { exit !(s <= 32) }' ||
  fail half-open
[ "$connected" = 1 ] || fail call-dropped
[ "$sanitizer" = 0 ] || fail sanitizer
[ "$phone_rc" = 0 ] || fail phone-exit

echo
echo "forged INVITEs sent ${flood_sent:-?} in $(awk -v a="$t0" -v b="$t1" 'BEGIN { printf "%.1f", b - a }') s; the phone reported $incoming incoming calls; random datagrams sent $noise_sent to ports $noise_ports"
echo "voice: longest RTP gap at the echo $(fig rtp_gap_ms) ms ($(fig rtp_packets) packets); longest speaker silence $(fig speaker_silence_ms) ms in $(fig speaker_seconds) s; call still connected at the end: $([ "$connected" = 1 ] && echo yes || echo no)"
echo "OPTIONS: $(fig options) sent during the flood and after, $(fig options_unanswered) unanswered in 1 s; latency max $(fig options_max_ms) ms, 99th percentile $(fig options_p99_ms) ms"
echo "memory: RSS before $(fig rss_before_kb) kB, at the flood's end $(fig rss_flood_end_kb) kB, at the last sample $(fig rss_after_kb) kB; peak (VmHWM) $(fig vmhwm_kb) kB; descriptors $(fig fds_min)..$(fig fds_max)"
echo "half-open calls: $(fig probes) probed after the flood, $(fig probes_pending) still ringing; the last one found $(fig pending_last_seen_s) s after the flood's end; $(fig pending_after_32s) of $(fig probes_after_32s) still ringing after 32 s"
echo "phone exit $phone_rc, sanitizer reports $sanitizer"
echo "$verdict$([ -n "$why" ] && echo " ($why )")"
[ $verdict = PASS ]
