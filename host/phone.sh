#!/usr/bin/env bash
# Builds the console phone and runs it.
#   bash host/phone.sh                 registers with a SIPp registrar started on 127.0.0.1:5060
#   bash host/phone.sh ARGS...         runs kytphone with ARGS
#   bash host/phone.sh --help          this text and kytphone's own help, without building
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "${1:-}" = "-h" ] || [ "${1:-}" = "--help" ]; then
  sed -n '2,5p' "$0" | sed 's/^# \{0,1\}//'
  build=${KYT_BUILD_DIR:-build}
  if [ -x "$build/host/kytphone" ]; then
    echo
    exec "$build/host/kytphone" --help
  fi
  echo "(kytphone is not built yet: bash host/phone.sh builds it, then kytphone --help says more)"
  exit 0
fi

bash .ci/install-deps >&2
build=${KYT_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
cmake --build "$build" --target kytphone kyt_plugin -j"$(nproc)" >&2

if [ $# -gt 0 ]; then
  exec "$build/host/kytphone" "$@"
fi

# sipp in the background of this shell, so that its own process id is the one to stop.
sipp -sf tests/host/data/registrar.xml -i 127.0.0.1 -p 5060 -m 1 -nostdin >/dev/null 2>&1 &
registrar=$!
trap 'kill "$registrar" 2>/dev/null || true' EXIT
"$build/host/kytphone" host/examples/register.kyt
