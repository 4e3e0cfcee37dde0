#!/usr/bin/env bash
# Flies seven passes (across north clockwise, overhead, low in the south, one
# that rises near the end of a 0-450 range and crosses north the other way,
# and three that culminate at 85, 88 and 89.5 degrees) through the whole
# chain under Wine once per set of choices, side by side, each in a prefix
# with its own wineserver: the defaults; 0-450; 0-450 with an elevation range
# of 0-180; that with point-ahead; that with a 1 degree tolerance. Prints per
# pass and choice the pointing error, the azimuth run while the satellite is
# above 60 degrees, the SET frames and the time spent unwinding; the rotor's
# travel and time moving while the satellite is up and between passes, and
# where it was at the rise; and draws docs/passes.png (or PICTURE).
#
#   bench/passes.sh [SCALE]      # passes sped up SCALE times (default 3: about 35 minutes)
#   CHOICES="0-180 ahead" PASSES=high85,high88 bench/passes.sh 6     # a quicker look at a few
#   CHOICES="default wait" BEFORE=4800 PICTURE=/tmp/between.png bench/passes.sh 20
#                                # following under the horizon against waiting, the passes
#                                # 80 minutes apart (about 35 minutes)
#
# WINDOWS_BUILD and NATIVE_BUILD name the build trees (see chain/environment.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
scale=${1:-3}
# Drawn by Debian's matplotlib, with Debian's python.
if ! /usr/bin/python3 -c 'import matplotlib' 2>/dev/null; then
    sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get install -y -qq --no-install-recommends python3-matplotlib >/dev/null
fi
. bench/chain/environment.sh
kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true
trap - EXIT

out=$PWD/$win/bench-passes
mkdir -p "$out"
servers=()
pids=()
choices=${CHOICES:-default 0-450 0-180 ahead tolerance}
for choice in $choices; do
    (
        export WINEPREFIX=$PWD/$win/bench-passes-prefix-$choice
        cmake/wine-run.sh cmd /c exit >/dev/null 2>&1
        wineserver -w
        wineserver -f -p >/dev/null 2>&1 &
        server=$!
        trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true' EXIT
        cmake/wine-run.sh cmd /c exit >/dev/null 2>&1
        python3 bench/passes/fly.py "$choice" "$scale" "$out/$choice.json" ${PASSES:+"$PASSES"}
    ) &
    pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
[ "$status" -eq 0 ] || { echo "a choice's run failed"; exit 1; }
/usr/bin/python3 bench/passes/passes.py "${PICTURE:-docs/passes.png}" $(for choice in $choices; do echo "$out/$choice.json"; done)
