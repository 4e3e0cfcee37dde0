#!/usr/bin/env bash
# A Linux station: drives a real rotator controller on a USB serial adapter
# from Gyrotalk under Wine. Maps the device to a COM port of the Wine prefix
# (the dosdevices link, Wine's port mapping and the system's serial-port
# list), makes that port Gyrotalk's choice, starts the tracking program when
# given (both in one prefix: DDE needs the same wineserver), then Gyrotalk.
#
#   scripts/station.sh --port /dev/serial/by-id/usb-FTDI_...-if00-port0 \
#       [--com COM5] [--tracker path/to/tracker.exe] [--exe path/to/Gyrotalk.exe]
#
# A by-id path stays the same when the adapter's ttyUSB number changes
# between boots, so the mapping keeps pointing at it. Nothing is changed when
# the device is missing or cannot be opened. WINEPREFIX names the prefix
# (default ~/.wine); WINE the command that runs Windows programs (default wine).
set -euo pipefail

usage() {
    sed -n '8,9p' "$0" | sed 's/^# *//' >&2
    exit 2
}

port="" com="COM5" tracker="" exe="$(dirname "$0")/../build/windows/src/main/Gyrotalk.exe"
while [ $# -gt 0 ]; do
    case $1 in
        --port) port=${2:-}; shift 2 || usage ;;
        --com) com=${2:-}; shift 2 || usage ;;
        --tracker) tracker=${2:-}; shift 2 || usage ;;
        --exe) exe=${2:-}; shift 2 || usage ;;
        *) usage ;;
    esac
done
[ -n "$port" ] || usage
com=${com^^}
[[ $com =~ ^COM[1-9][0-9]?$ ]] || { echo "station: $com is no COM port name (COM1 to COM99)" >&2; exit 2; }

fail() {
    echo "station: $*" >&2
    echo "station: nothing was changed." >&2
    exit 1
}

if [ ! -e "$port" ]; then
    fail "the device $port does not exist. Is the adapter plugged in? Its stable names: ls -l /dev/serial/by-id/"
fi
device=$(readlink -f "$port")
[ -c "$device" ] || fail "$port ($device) is not a serial device"
# Opened as Wine will open it, without waiting for a carrier.
if ! error=$(python3 -c 'import os, sys
os.close(os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK))' "$port" 2>&1); then
    group=$(stat -c %G "$device")
    if [[ $error == *PermissionError* ]]; then
        fail "you ($(id -un)) may not open $port ($device): it belongs to the group \"$group\". Join it with
  sudo usermod -aG $group $(id -un)
and log in again."
    fi
    fail "$port ($device) cannot be opened: ${error##*: }"
fi
[ -f "$exe" ] || fail "no Gyrotalk.exe at $exe (give it with --exe)"
[ -z "$tracker" ] || [ -f "$tracker" ] || fail "no tracking program at $tracker"

wine=${WINE:-wine}
export WINEPREFIX=${WINEPREFIX:-$HOME/.wine}
# The serial-port list under HARDWARE lives only as long as the server: keep
# one running (a server that runs already stays while the programs run).
"$wine" cmd /c exit >/dev/null 2>&1
wineserver -p 2>/dev/null || true
lower=${com,,}
ln -sfn "$port" "$WINEPREFIX/dosdevices/$lower"
"$wine" reg add 'HKLM\Software\Wine\Ports' /v "$com" /d "$port" /f >/dev/null
"$wine" reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v "\\Device\\Station$com" /d "$com" /f >/dev/null
"$wine" reg add 'HKCU\Software\Treml\Zenitrak\Gyrotalk' /v ComPort /d "$com" /f >/dev/null
echo "station: $com is $port ($device) in $WINEPREFIX"

if [ -n "$tracker" ]; then
    "$wine" "$tracker" &
fi
exec "$wine" "$exe"
