#!/usr/bin/env bash
# The line's cost: Gyrotalk.exe under Wine with the rotor simulator, the fast
# sequence, in one run of alternating phases of PHASE seconds (default 30):
# the COM port at 600 baud, the same controller over TCP (127.0.0.1, the
# line paced at 600 baud), the COM port at 9600 baud; ROUNDS times each
# (default 2). Prints the exchange overhead and the exchange time of each,
# and the STATE period.
#
#   bench/link.sh [PHASE [ROUNDS]]
#
# WINDOWS_BUILD and NATIVE_BUILD name the build trees (see chain/environment.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
. bench/chain/environment.sh
python3 bench/link/link.py "${1:-30}" "${2:-2}"
