# Sourced by bench/chain.sh and bench/soak.sh: builds what the chain needs and
# sets up the end-to-end rig's environment in a prefix of its own,
# $WINDOWS_BUILD/bench-prefix, with its wineserver kept alive for the run.
# WINDOWS_BUILD and NATIVE_BUILD name the build trees (default build/windows
# and build/native, configured by their presets).
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
export GYRO_DDEPEER_EXE=$PWD/$win/tools/ddepeer/ddepeer.exe
export GYRO_ROTORSIM=$PWD/$native/tools/rotorsim/rotorsim
export GYRO_MODEMSHIM=$PWD/$native/tools/modemshim/libmodemshim.so
export GYRO_BENCH_DIR=$PWD/$win/bench/chain
