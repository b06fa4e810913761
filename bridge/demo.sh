#!/usr/bin/env bash
# The web bridge end to end on this machine: builds kytbridge and the plug-in, starts a local far
# end (Kamailio as the proxy, SIPp as "bob" sending back the voice it gets), starts the bridge
# with a virtual sound device (a 850 Hz tone as the microphone, the speaker into a file), runs the
# demo page's call in headless Chromium, and prints the events, what was heard and where the
# screenshot is. On a terminal the bridge then stays up for your own browser until Ctrl-C.
set -euo pipefail
cd "$(dirname "$0")/.."

bash .ci/install-deps >&2
build=${KYT_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
cmake --build "$build" --target kytbridge kyt_plugin -j"$(nproc)" >&2

port=${KYT_BRIDGE_PORT:-47600}
proxy_port=${KYT_PROXY_PORT:-5070}
bob_port=${KYT_BOB_PORT:-5072}
out=$build/bridge-demo
rm -rf "$out"
mkdir -p "$out"
sox -n -r 8000 -b 16 -c 1 "$out/tone.wav" synth 6 sine 850

pids=()
trap 'kill "${pids[@]}" 2>/dev/null || true; wait 2>/dev/null || true' EXIT
kamailio -f bridge/demo-proxy.cfg -DD -E -n 1 -l "udp:127.0.0.1:$proxy_port" \
  -w "$out" -Y "$out" -A "BOBURI=\"sip:127.0.0.1:$bob_port\"" >"$out/kamailio.log" 2>&1 &
pids+=($!)
sipp -sn uas -i 127.0.0.1 -p "$bob_port" -mi 127.0.0.1 -rtp_echo -nostdin >"$out/sipp.log" 2>&1 &
pids+=($!)
"$build/bridge/kytbridge" --port "$port" --audio virtual --mic "$out/tone.wav" \
  --speaker "$out/heard.wav" >"$out/bridge.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do
  grep -q listening "$out/bridge.log" && break
  sleep 0.1
done
cat "$out/bridge.log"

NODE_PATH=$PWD/tests/bridge/node_modules node bridge/demo.js "http://127.0.0.1:$port" \
  "sip:127.0.0.1:$proxy_port" bob "$out/demo-call.png"
echo "demo: heard on the virtual speaker ($out/heard.wav, the tone as SIPp sent it back):"
sox "$out/heard.wav" -n stat 2>&1 | grep -E 'Length|RMS +amplitude|Rough +frequency'
echo "demo: screenshot of the call: $out/demo-call.png"

if [ -t 0 ]; then
  echo "Open http://127.0.0.1:$port/ in your browser for the same page (proxy sip:127.0.0.1:$proxy_port," \
    "call bob). Ctrl-C stops the bridge."
  wait "${pids[2]}"
else
  echo "Run kytbridge and open http://127.0.0.1:$port/ in your browser for the same page."
fi
