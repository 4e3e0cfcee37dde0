#!/usr/bin/env bash
# Builds everything and runs every test: native (sanitizers), Windows under
# Wine, end to end. Ends with "N passed, M failed"; exits non-zero on failure.
set -uo pipefail
cd "$(dirname "$0")/.."
. scripts/setup.sh
gyro_install_missing || { echo "package installation failed"; exit 1; }

gyro_build native build/native || { echo "0 passed, 1 failed"; exit 1; }
gyro_build windows build/windows || { echo "0 passed, 1 failed"; exit 1; }

# One wineserver for the whole run: starting it per test costs seconds, and
# HKLM\HARDWARE lives only as long as the server does. The first program
# (which makes a new prefix) starts a server that ends when idle, and
# "wineserver -p" does nothing while one runs: wait for its end first.
# A server left running in the prefix (say "wineserver -p" for a single
# test by hand) would never end: it goes first. A server's output is the
# dump of its state when it ends, for nobody.
export WINEPREFIX=$PWD/build/windows/wineprefix
wineserver -k >/dev/null 2>&1
cmake/wine-run.sh cmd /c exit >/dev/null 2>&1
wineserver -w
wineserver -p >/dev/null 2>&1
cmake/wine-run.sh cmd /c exit >/dev/null 2>&1
trap 'wineserver -k >/dev/null 2>&1' EXIT

passed=0
failed=0
run_ctest() {
    local dir=$1 jobs=$2 log
    log=$(mktemp)
    ctest --test-dir "$dir" -j "$jobs" --output-on-failure 2>&1 | tee "$log"
    local line total bad
    line=$(grep -E 'tests passed, [0-9]+ tests failed out of [0-9]+' "$log" | tail -1)
    if [ -z "$line" ]; then
        grep -q 'No tests were found' "$log" || failed=$((failed + 1))
    else
        total=$(sed -E 's/.* out of ([0-9]+).*/\1/' <<<"$line")
        bad=$(sed -E 's/.* ([0-9]+) tests failed.*/\1/' <<<"$line")
        passed=$((passed + total - bad))
        failed=$((failed + bad))
    fi
    rm -f "$log"
}
run_ctest build/native "$(nproc)"
run_ctest build/windows 1

echo "$passed passed, $failed failed"
[ "$failed" -eq 0 ]
