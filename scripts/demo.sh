#!/usr/bin/env bash
# Runs Gyrotalk under Wine with both simulators: the rotator controller on a
# pseudo-terminal (COM5) and the tracking program flying a pass, started by
# Gyrotalk itself from beside its exe. On the user's display when there is
# one, otherwise under Xvfb. Prints the window's live state every second and
# saves a screenshot to build/demo/screenshot.png.
#
#   scripts/demo.sh [SECONDS]     (default 60; 0 runs until the window closes)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
seconds=${1:-60}
. scripts/setup.sh
gyro_install_missing
gyro_build native build/native >/dev/null
gyro_build windows build/windows >/dev/null

demo=$root/build/demo
export WINEPREFIX=$demo/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$demo"
caption="Gyrotalk Rotor Driver 0.97 test"
windriver=$root/build/windows/tools/windriver/windriver.exe
pids=()

cleanup() {
    wine "$windriver" close --caption "$caption" >/dev/null 2>&1 || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    wineserver -k 2>/dev/null || true
}
trap cleanup EXIT

# Without a display, a virtual one: the window is drawn for real either way.
if [ -z "${DISPLAY:-}" ]; then
    export DISPLAY=:77
    Xvfb "$DISPLAY" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    sleep 1
fi
[ -f "$WINEPREFIX/system.reg" ] || wineboot -u >/dev/null 2>&1
wineserver -p 60

# The rotator simulator answers on COM5 at 600 baud, byte by byte.
rm -f "$WINEPREFIX/dosdevices/com5"
"$root/build/native/tools/rotorsim/rotorsim" --link "$WINEPREFIX/dosdevices/com5" --pace \
    --log "$demo/rotorsim.log" &
pids+=($!)
wine reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v '\Device\Demo5' /d COM5 /f >/dev/null
wine reg add 'HKCU\Software\Treml\Zenitrak\Gyrotalk' /v ComPort /d COM5 /f >/dev/null

# Gyrotalk starts the tracking simulator beside it when none is running.
app=$WINEPREFIX/drive_c/Gyrotalk
mkdir -p "$app"
cp build/windows/src/main/Gyrotalk.exe build/windows/tools/zenitrak/Zenitrak.exe "$app/"
(cd "$app" && LD_PRELOAD=$root/build/native/tools/modemshim/libmodemshim.so wine Gyrotalk.exe) &
pids+=($!)
wine "$windriver" find --caption "$caption" --timeout 30000 >/dev/null

# One line a second: the texts of the window's value labels.
state() {
    wine "$windriver" list --caption "$caption" 2>/dev/null |
        sed -nE 's/^child id=(10[5-9]|11[0-9]) .*visible=1 .*text="([^"]*)".*/\2/p' | tr '\n' '|'
}
# The virtual desktop is empty but for the window: trimming leaves the window.
screenshot() {
    import -window root "$1.full.png" && convert "$1.full.png" -trim +repage "$1" && rm -f "$1.full.png" &&
        echo "screenshot: $1"
}
shot=$demo/screenshot.png
for ((i = 1; seconds == 0 || i <= seconds; i++)); do
    line=$(state) || break
    [ -n "$line" ] || break
    printf '%3d s  %s\n' "$i" "${line//\\r\\n/ }"
    [ "$i" -eq 15 ] && screenshot "$shot"
    sleep 1
done
