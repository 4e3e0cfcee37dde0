#!/usr/bin/env bash
# Measures the time from the tracking program's change of the line to OnChange
# of the item that follows it, over CHANGES changes (default 200), one at a
# time, with the item as the only client and then as many again beside a
# plain warm-link client: bench/dde/TrackingLatency against the
# tracking-program simulator under Wine, with tools/ddepeer beside it.
#
#   bench/tracking-latency.sh [CHANGES]
#
# WINDOWS_BUILD names the build tree (default build/windows, configured by its
# preset). Prints the median, 90th percentile and maximum in milliseconds for
# each, what the changes left in memory, and the other client's refused
# requests.
set -euo pipefail
cd "$(dirname "$0")/.."
changes=${1:-200}
win=${WINDOWS_BUILD:-build/windows}
cmake --build "$win" --target TrackingLatency Zenitrak ddepeer >/dev/null

export WINEPREFIX=$PWD/$win/wineprefix
# Wine's DDE library says an error line for each refusal it takes for a
# positive answer: thousands here, and the figures are what matters.
export WINEDEBUG=${WINEDEBUG:--all}
simulator="Z:$(echo "$PWD/$win/tools/zenitrak/Zenitrak.exe" | tr / '\\')"
peer="Z:$(echo "$PWD/$win/tools/ddepeer/ddepeer.exe" | tr / '\\')"
cmake/wine-run.sh "$PWD/$win/bench/dde/TrackingLatency.exe" "$simulator" "$peer" "$changes"
