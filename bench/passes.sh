#!/usr/bin/env bash
# Flies four passes (across north clockwise, overhead, low in the south, and
# one that rises near the end of a 0-450 range and crosses north the other
# way) through the whole chain under Wine once per azimuth range, the three
# ranges side by side, each in a prefix with its own wineserver. Prints per
# pass and range the pointing error, the largest rotor run and the time spent
# unwinding, and draws docs/passes.png.
#
#   bench/passes.sh [SCALE]      # passes sped up SCALE times (default 3: about 20 minutes)
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
for range in 0-360 0-450 -180-540; do
    (
        export WINEPREFIX=$PWD/$win/bench-passes-prefix$range
        cmake/wine-run.sh cmd /c exit >/dev/null 2>&1
        wineserver -w
        wineserver -f -p &
        server=$!
        trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true' EXIT
        cmake/wine-run.sh cmd /c exit >/dev/null 2>&1
        python3 bench/passes/fly.py "$range" "$scale" "$out/$range.json"
    ) &
    pids+=($!)
done
status=0
for pid in "${pids[@]}"; do wait "$pid" || status=1; done
[ "$status" -eq 0 ] || { echo "a range's run failed"; exit 1; }
/usr/bin/python3 bench/passes/passes.py docs/passes.png "$out/0-360.json" "$out/0-450.json" "$out/-180-540.json"
