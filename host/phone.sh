#!/usr/bin/env bash
# Builds the console phone and runs it.
#   bash host/phone.sh                 registers with a SIPp registrar started on 127.0.0.1:5060
#   bash host/phone.sh ARGS...         runs kytphone with ARGS (see: bash host/phone.sh --help)
set -euo pipefail
cd "$(dirname "$0")/.."

bash .ci/install-deps >&2
build=${KYT_BUILD_DIR:-build}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >&2
cmake --build "$build" --target kytphone kyt_plugin -j"$(nproc)" >&2

if [ $# -gt 0 ]; then
  exec "$build/host/kytphone" "$@"
fi

# sipp answers 99 when it has gone to the background.
sipp -sf tests/host/data/registrar.xml -i 127.0.0.1 -p 5060 -m 1 -bg >&2 || [ $? -eq 99 ]
trap 'pkill -f "sipp -sf tests/host/data/registrar.xml" || true' EXIT
"$build/host/kytphone" host/examples/register.kyt
