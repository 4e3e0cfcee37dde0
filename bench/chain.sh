#!/usr/bin/env bash
# The whole chain's benchmark: Gyrotalk.exe under Wine with both simulators,
# the fast sequence for SECONDS (default 600: memory and handles after 1 and
# after 10 minutes), then the slow sequence for SLOW_SECONDS (default 60),
# beside a minimal window program with a 500 ms timer as the yardstick.
# Prints CPU, memory and handles, exchange overhead, cycle accuracy,
# start-up, tracking-line-to-SET latency and the exe's size.
#
#   bench/chain.sh [SECONDS [SLOW_SECONDS]]
#
# WINDOWS_BUILD and NATIVE_BUILD name the build trees (see chain/environment.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
slow=${2:-60}
. bench/chain/environment.sh
python3 bench/chain/chain.py "$seconds" "$slow"
