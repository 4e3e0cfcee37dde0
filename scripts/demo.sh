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
    wineserver -k 2>/dev/null || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

# Without a display, a virtual one: the window is drawn for real either way.
if [ -z "${DISPLAY:-}" ]; then
    export DISPLAY=:77
    Xvfb "$DISPLAY" -screen 0 800x600x24 -nolisten tcp >/dev/null 2>&1 &
    pids+=($!)
    sleep 1
fi
if [ ! -f "$WINEPREFIX/system.reg" ]; then
    echo "Making the Wine prefix $WINEPREFIX (once)"
    wineboot -u >/dev/null 2>&1
fi
# Wine's own "MS Sans Serif", the window's font, where Wine looks for fonts.
cp -u /usr/share/wine/fonts/sserife.fon "$WINEPREFIX/drive_c/windows/Fonts/"
wineserver -p || true  # a server already running stays

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
wine "$windriver" wait --caption "$caption" --id 114 --contains "" --timeout 120000 >/dev/null

# One line a second: the window's values, by the names of their captions.
declare -A names=([105]=DDE [107]=sat [108]=az [109]=el [110]=up [111]=down [112]=upmode [113]=downmode
    [114]=port [115]=port [116]=command [117]=rotor-az [118]=rotor-el [119]=divider)
state() {
    wine "$windriver" list --caption "$caption" 2>/dev/null |
        sed -nE 's/^child id=(10[57-9]|11[0-9]) .* visible=1 .* text="(.*)"$/\1 \2/p' | sort -n |
        while read -r id text; do printf '%s=%s ' "${names[$id]}" "$text"; done
}
# The virtual desktop is empty but for the window: trimming leaves the window.
screenshot() {
    import -window root "$1.full.png" && convert "$1.full.png" -trim +repage "$1" && rm -f "$1.full.png" &&
        echo "screenshot: $1"
}
shot=$demo/screenshot.png
for ((i = 1; seconds == 0 || i <= seconds; i++)); do
    line=$(state)
    [ -n "$line" ] || break  # the window is gone
    printf '%3d s  %s\n' "$i" "${line//\\r\\n/ }"
    [ "$i" -eq 15 ] && screenshot "$shot"
    sleep 1
done
