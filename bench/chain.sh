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
# WINDOWS_BUILD and NATIVE_BUILD name the build trees (default build/windows
# and build/native, configured by their presets). The run uses its own Wine
# prefix, $WINDOWS_BUILD/bench-prefix, with its own wineserver kept alive for
# the run.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-600}
slow=${2:-60}
win=${WINDOWS_BUILD:-build/windows}
native=${NATIVE_BUILD:-build/native}
cmake --build "$native" --target rotorsim modemshim >/dev/null
cmake --build "$win" --target Gyrotalk Zenitrak windriver MinimalWindow ProcessProbe WindowWatch >/dev/null

export WINEPREFIX=$PWD/$win/bench-prefix
cmake/wine-run.sh cmd /c exit >/dev/null 2>&1 # makes the prefix on first use
wineserver -w
# The serial-port list in the registry lives only as long as the server.
wineserver -f -p &
server=$!
trap 'kill "$server" 2>/dev/null; wait "$server" 2>/dev/null || true' EXIT
cmake/wine-run.sh cmd /c exit >/dev/null 2>&1
kill -0 "$server"

export GYRO_WINE_RUN=$PWD/cmake/wine-run.sh
export GYRO_GYROTALK_EXE=$PWD/$win/src/main/Gyrotalk.exe
export GYRO_ZENITRAK_EXE=$PWD/$win/tools/zenitrak/Zenitrak.exe
export GYRO_WINDRIVER_EXE=$PWD/$win/tools/windriver/windriver.exe
export GYRO_ROTORSIM=$PWD/$native/tools/rotorsim/rotorsim
export GYRO_MODEMSHIM=$PWD/$native/tools/modemshim/libmodemshim.so
export GYRO_BENCH_DIR=$PWD/$win/bench/chain
python3 bench/chain/chain.py "$seconds" "$slow"
