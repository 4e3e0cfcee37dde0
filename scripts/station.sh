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
# the device is missing, cannot be opened or is no terminal, or when Wine
# does not start; each says why. WINEPREFIX names the prefix (default
# ~/.wine); WINE the command that runs Windows programs (default wine).
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
# The link in dosdevices/ and Wine's port mapping need the whole path.
[[ $port == /* ]] || port=$PWD/$port
com=${com^^}
[[ $com =~ ^COM[1-9][0-9]?$ ]] || { echo "station: $com is no COM port name (COM1 to COM99)" >&2; exit 2; }

fail() {
    echo "station: $*" >&2
    echo "station: nothing was changed." >&2
    exit 1
}
# Whatever fails without a message of its own still says so.
trap 'echo "station: \"$BASH_COMMAND\" failed (exit status $?)" >&2' ERR

if [ ! -e "$port" ]; then
    fail "the device $port does not exist. Is the adapter plugged in? Its stable names: ls -l /dev/serial/by-id/"
fi
device=$(readlink -f "$port")
[ -c "$device" ] || fail "$port ($device) is not a serial device"
# Opened as Wine will open it, without waiting for a carrier; a serial port
# is a terminal (/dev/null, say, is a character device but none).
if ! error=$(python3 -c 'import os, sys
fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
terminal = os.isatty(fd)
os.close(fd)
sys.exit(0 if terminal else "not a terminal")' "$port" 2>&1); then
    [ "$error" != "not a terminal" ] || fail "$port ($device) is no serial port: it is not a terminal"
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
command -v "$wine" >/dev/null || fail "there is no Wine: \"$wine\" is not found. Install it with
  sudo apt-get install wine wine64
or name the command that runs Windows programs in WINE."
export WINEPREFIX=${WINEPREFIX:-$HOME/.wine}
# The first call makes the prefix when there is none. Its output goes to a
# file: the server and services it starts keep it open for their lifetime.
said=$(mktemp)
status=0
WINEDEBUG=${WINEDEBUG:--all} "$wine" cmd /c exit >"$said" 2>&1 || status=$?
told=$(tail -n 3 "$said" | sed 's/^/  /')
rm -f "$said"
if [ "$status" -ne 0 ]; then
    fail "Wine does not start in the prefix $WINEPREFIX (\"$wine cmd /c exit\": exit status $status)${told:+:
$told}
WINEPREFIX names the prefix (default ~/.wine): a folder of yours, made on first use."
fi
# The serial-port list under HARDWARE lives only as long as the server: keep
# one running (a server that runs already stays while the programs run).
wineserver -p >/dev/null 2>&1 || true
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
