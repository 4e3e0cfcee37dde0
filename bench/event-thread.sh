#!/usr/bin/env bash
# Measures the CPU that a port's event thread takes while 5 received bytes sit
# unread (Wine keeps reporting EV_RXCHAR then), over SECONDS (default 10):
# bench/cport/EventThreadLoad on a pair of joined pseudo-terminal ports.
# BYTES (default 5) other than 5 measures that many unread bytes, 0 the
# quiet line.
#
#   bench/event-thread.sh [SECONDS [BYTES]]
#
# WINDOWS_BUILD and NATIVE_BUILD name the build trees (default build/windows
# and build/native, both configured by their presets). Prints the event
# thread's share of one core (GetThreadTimes), the whole Wine process's
# share as the process sees it (GetProcessTimes) and as Linux sees it
# (utime + stime in /proc/PID/stat, which includes Wine's own threads).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-10}
bytes=${2:-5}
win=${WINDOWS_BUILD:-build/windows}
native=${NATIVE_BUILD:-build/native}
cmake --build "$native" --target nullmodem modemshim >/dev/null
cmake --build "$win" --target EventThreadLoad >/dev/null

export WINEPREFIX=$PWD/$win/wineprefix
exe=$PWD/$win/bench/cport/EventThreadLoad.exe
log=$(mktemp)
trap 'rm -f "$log"' EXIT
tests/cport/with-serial-ports.sh "$PWD/$native" cmake/wine-run.sh "$exe" "$seconds" "$bytes" >"$log" 2>&1 &
runner=$!

# The program's Wine process (its name is the exe's, cut to 15 characters)
# and the wineserver of the prefix, which answers every call the thread makes
# (its working directory is named after the prefix's device and inode).
cpu_ticks() { awk '{ print $14 + $15 }' "/proc/$1/stat" 2>/dev/null; }
until grep -q '^measuring' "$log"; do
    kill -0 "$runner" 2>/dev/null || { cat "$log"; exit 1; }
    sleep 0.05
done
# Only now: a fresh build tree's prefix is made by the program's start.
server_dir=$(printf 'server-%x-%x' "$(stat -c %d "$WINEPREFIX")" "$(stat -c %i "$WINEPREFIX")")
pid=$(pgrep -n -x EventThreadLoad)
server=$(for p in $(pgrep -x 'wineserver(64)?'); do
    if [ "$(basename "$(readlink "/proc/$p/cwd")")" = "$server_dir" ]; then echo "$p"; fi
done)
# Sampled until the program reports, so that the last sample still sees it.
first=$(cpu_ticks "$pid") server_first=$(cpu_ticks "${server:-0}" || echo 0) start=$(date +%s.%N)
last=$first server_last=$server_first end=$start
until grep -q '^OnRxChar raised' "$log"; do
    ticks=$(cpu_ticks "$pid") || break
    last=$ticks server_last=$(cpu_ticks "${server:-0}" || echo 0) end=$(date +%s.%N)
    sleep 0.05
done
wait "$runner"
grep -v 'dosdevices' "$log"
report() {
    awk -v what="$1" -v t="$2" -v hz="$(getconf CLK_TCK)" -v s="$start" -v e="$end" 'BEGIN {
        printf "%s: %.0f ms CPU in %.0f ms = %.2f %% of one core\n", what, 1000 * t / hz, 1000 * (e - s),
               100 * (t / hz) / (e - s) }'
}
report "Wine process $pid, from /proc" "$((last - first))"
if [ -n "$server" ]; then
    report "its wineserver $server, from /proc" "$((server_last - server_first))"
fi
