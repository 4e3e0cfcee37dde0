#!/usr/bin/env bash
# Runs a Windows test under Wine with a real pair of serial ports: COM7 and
# COM8 of the build's prefix, two pseudo-terminals joined like a null-modem
# cable, with the modem shim preloaded so that the ports have modem lines.
#
#   with-serial-ports.sh NATIVE_BUILD_DIR WINE_RUN TEST [ARGS...]
#
# The test finds the ports in GYRO_TEST_PORT and GYRO_TEST_PEER and sets the
# modem lines that COM7 reports by writing the file GYRO_MODEM_LINES.
set -euo pipefail
native=$1
shift
: "${WINEPREFIX:?WINEPREFIX must name the build tree prefix}"
nullmodem=$native/tools/modemshim/nullmodem
shim=$native/tools/modemshim/libmodemshim.so
for tool in "$nullmodem" "$shim"; do
    [ -e "$tool" ] || { echo "missing $tool: build the native preset first" >&2; exit 1; }
done

# The prefix must exist before its dosdevices get our links.
[ -f "$WINEPREFIX/.gyro-ready-2" ] || "$1" cmd /c exit >/dev/null 2>&1

lines=$(mktemp)
trap 'rm -f "$lines"' EXIT
export GYRO_MODEM_LINES=$lines GYRO_TEST_PORT=COM7 GYRO_TEST_PEER=COM8
"$nullmodem" --link "$WINEPREFIX/dosdevices/com7" --link "$WINEPREFIX/dosdevices/com8" -- \
    env LD_PRELOAD="$shim" "$@"
