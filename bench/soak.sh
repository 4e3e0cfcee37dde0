#!/usr/bin/env bash
# The whole chain's soak: Gyrotalk.exe under Wine for MINUTES (default 30)
# with the fast sequence, the rotor simulator at 600 baud and the tracking
# simulator flying its pass over and over. Then the target stops, the rotor
# gets there and the window is closed. Checks that no cycle was missed, that
# memory and handles did not grow, and that the rotor stopped on the last
# target; exits with 1 if any of that fails. With --faults it runs unattended
# and meets a fault every 3 minutes (bench/chain/fault_schedule.py), each to be mended
# without a click.
#
#   bench/soak.sh [MINUTES] [--faults]
#
# WINDOWS_BUILD and NATIVE_BUILD name the build trees (see chain/environment.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
minutes=${1:-30}
. bench/chain/environment.sh
python3 bench/chain/soak.py "$minutes" "${@:2}"
