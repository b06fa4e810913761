#!/usr/bin/env bash
# Runs every fuzz target for as long as asked (default 300 s each, two at a time) on its corpus
# and prints the executions per target; fails on any finding. Builds the targets with Clang in
# build-fuzz. Usage: bench/fuzz.sh [seconds per target]
set -euo pipefail
cd "$(dirname "$0")/.."
KYT_FUZZ_BUILD_DIR=${KYT_FUZZ_BUILD_DIR:-build-fuzz} exec bash .ci/fuzz "${1:-300}"
