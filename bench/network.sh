#!/usr/bin/env bash
# Network control's cost: Gyrotalk.exe under Wine with the rotator simulator
# (600 baud pacing), network control on, in alternating phases of PHASE
# seconds (default 30) without clients and with four clients that poll "p"
# ten times a second, ROUNDS times each (default 2), side by side in one run.
# Prints the STATE period and the exchange overhead of both, and the reply
# time of "p".
#
#   bench/network.sh [PHASE [ROUNDS]]
#
# WINDOWS_BUILD and NATIVE_BUILD name the build trees (see chain/environment.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/chain/environment.sh
python3 bench/network/network.py "${1:-30}" "${2:-2}"
