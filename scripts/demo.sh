#!/usr/bin/env bash
# Runs Gyrotalk under Wine with both simulators: the rotator controller on a
# pseudo-terminal (COM5), or with --tcp on a loopback TCP port as a
# controller on the network ("RotorAddress"), and the tracking program
# flying a pass, started by Gyrotalk itself from beside its exe. On the user's display when there is
# one, otherwise under Xvfb. Waits until the window shows its values, prints
# them every second, saves a screenshot to build/demo/screenshot.png and ends
# with its path; when something goes wrong it says what and exits 1.
#
#   scripts/demo.sh [--tcp] [SECONDS]     (default 60; 0 runs until the window closes)
#
# DEMO_TIMEOUT: seconds to wait for the window's values (default 120: the
# first start in a fresh prefix is slow). DEMO_EXE: the program to run
# (default the build's Gyrotalk.exe). DEMO_DIR: the prefix, logs and
# screenshot (default build/demo). WINDOWS_BUILD, NATIVE_BUILD: the build
# trees (default build/windows and build/native). Relative paths start at
# the tree's root.
set -Eeuo pipefail
cd "$(dirname "$0")/.."
tcp=""
[ "${1:-}" = --tcp ] && tcp=1 && shift
seconds=${1:-60}
timeout=${DEMO_TIMEOUT:-120}
[[ $seconds =~ ^[0-9]+$ && $# -le 1 ]] || { echo "usage: scripts/demo.sh [--tcp] [SECONDS]" >&2; exit 2; }
[[ $timeout =~ ^[0-9]+$ ]] || { echo "demo: DEMO_TIMEOUT is no number of seconds: $timeout" >&2; exit 2; }

fail() {
    echo "demo: $*" >&2
    exit 1
}
# The last lines of a log, indented, for a failure's message.
tail_of() {
    [ -s "$1" ] && printf '\n%s' "$(tail -n "${2:-5}" "$1" | sed 's/^/  /')" || true
}
# Waits up to SECONDS until the command succeeds: settles SECONDS COMMAND...
settles() {
    local limit=$1
    shift
    for ((t = 0; t < limit * 10; t++)); do
        "$@" && return
        sleep 0.1
    done
    "$@"
}
# Whatever fails without a message of its own still says so.
trap 'echo "demo: \"$BASH_COMMAND\" failed (exit status $?, line $LINENO)" >&2' ERR

demo=${DEMO_DIR:-build/demo}
mkdir -p "$demo"
demo=$(cd "$demo" && pwd)
. scripts/setup.sh
gyro_install_missing || fail "the packages it needs could not be installed (see above)"
build() {
    gyro_build "$1" "$2" >"$demo/build-$1.log" 2>&1 ||
        fail "the $1 build in $2 failed; its end:$(tail_of "$demo/build-$1.log" 15)"
}
native=${NATIVE_BUILD:-build/native}
win=${WINDOWS_BUILD:-build/windows}
build native "$native"
build windows "$win"
native=$(cd "$native" && pwd) win=$(cd "$win" && pwd)
exe=${DEMO_EXE:-$win/src/main/Gyrotalk.exe}
[ -f "$exe" ] || fail "there is no program at $exe"

export WINEPREFIX=$demo/wineprefix WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# Without address randomisation: cmake/wine-run.sh says which start-up fault
# of Wine's it spares.
wine() { setarch -R wine "$@"; }
caption="Gyrotalk Rotor Driver 0.97 test"
windriver=$win/tools/windriver/windriver.exe
pids=()
program_pid=""

window_open() {
    wine "$windriver" windows --caption "$caption" 2>/dev/null | grep -q '^window '
}
cleanup() {
    if [ -n "$program_pid" ] && window_open; then
        wine "$windriver" close --caption "$caption" --timeout 15000 >/dev/null 2>&1 || true
    fi
    wineserver -k >/dev/null 2>&1 || true
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
}
trap cleanup EXIT

# Without a display, a virtual one on a free number: the window is drawn for
# real either way. Xvfb writes the number once it accepts clients.
if [ -z "${DISPLAY:-}" ]; then
    rm -f "$demo/display"
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$demo/display" >"$demo/xvfb.log" 2>&1 &
    pids+=($!)
    settles 10 test -s "$demo/display" || fail "the virtual display (Xvfb) did not start:$(tail_of "$demo/xvfb.log")"
    export DISPLAY=:$(<"$demo/display")
fi
if [ ! -f "$WINEPREFIX/.demo-ready" ]; then
    echo "Making the Wine prefix $WINEPREFIX (once, about a minute)"
    setarch -R wineboot -u >"$demo/wineboot.log" 2>&1 ||
        fail "Wine could not make its prefix:$(tail_of "$demo/wineboot.log")"
    touch "$WINEPREFIX/.demo-ready"
fi
# Wine's own "MS Sans Serif", the window's font, where Wine looks for fonts.
cp -u /usr/share/wine/fonts/sserife.fon "$WINEPREFIX/drive_c/windows/Fonts/"
wineserver -p >/dev/null 2>&1 || true # a server already running stays

# The rotator simulator answers on COM5 at 600 baud, byte by byte; or on a
# free loopback TCP port, paced as a 600-baud line behind a serial server.
settings='HKCU\Software\Treml\Zenitrak\Gyrotalk'
if [ -n "$tcp" ]; then
    rm -f "$demo/rotorsim.out"
    "$native/tools/rotorsim/rotorsim" --tcp 0 --pace --log "$demo/rotorsim.log" >"$demo/rotorsim.out" 2>&1 &
    pids+=($!)
    settles 10 grep -q '^127.0.0.1:' "$demo/rotorsim.out" ||
        fail "the rotator simulator did not start:$(tail_of "$demo/rotorsim.out")"
    address=$(head -n 1 "$demo/rotorsim.out")
    echo "Rotator simulator on $address"
    wine reg add "$settings" /v RotorAddress /d "$address" /f >/dev/null
else
    link=$WINEPREFIX/dosdevices/com5
    rm -f "$link"
    "$native/tools/rotorsim/rotorsim" --link "$link" --pace --log "$demo/rotorsim.log" >"$demo/rotorsim.out" 2>&1 &
    pids+=($!)
    settles 10 test -L "$link" || fail "the rotator simulator did not start:$(tail_of "$demo/rotorsim.out")"
    echo "Rotator simulator on COM5 ($(readlink "$link"))"
    wine reg add 'HKLM\HARDWARE\DEVICEMAP\SERIALCOMM' /v '\Device\Demo5' /d COM5 /f >/dev/null
    wine reg add "$settings" /v ComPort /d COM5 /f >/dev/null
    wine reg add "$settings" /v RotorAddress /d "" /f >/dev/null
fi

# Gyrotalk starts the tracking simulator beside it when none is running.
app=$WINEPREFIX/drive_c/Gyrotalk
mkdir -p "$app"
cp "$win/tools/zenitrak/Zenitrak.exe" "$app/"
cp "$exe" "$app/"
program=$(basename "$exe")
echo "Starting $program"
(cd "$app" && LD_PRELOAD=$native/tools/modemshim/libmodemshim.so exec setarch -R wine "$program") \
    >"$demo/program.log" 2>&1 &
program_pid=$!
pids+=($!)

# One line of the window's values by the names of their captions; nothing
# while the window is hidden: it shows once it is made, and making it starts
# the tracking program, which takes many seconds in a fresh prefix. Fails
# when windriver does (no window, or it does not answer).
declare -A names=([105]=DDE [107]=sat [108]=az [109]=el [110]=up [111]=down [112]=upmode [113]=downmode
    [114]=port [115]=port [116]=command [117]=rotor-az [118]=rotor-el [119]=divider)
values() {
    wine "$windriver" list --caption "$caption" --timeout "$1" 2>/dev/null |
        sed -nE 's/^child id=(10[57-9]|11[0-9]) .* visible=1 .* text="(.*)"$/\1 \2/p' | sort -n |
        while read -r id text; do printf '%s=%s ' "${names[$id]}" "$text"; done
}
ended() { ! kill -0 "$program_pid" 2>/dev/null; }
# Sets status to the ended program's exit status.
reap_program() {
    status=0
    wait "$program_pid" || status=$?
    program_pid=""
}
started=$SECONDS
until line=$(values 2000) && [ -n "$line" ]; do
    if ended; then
        reap_program
        fail "$program ended (exit status $status) before its window showed:$(tail_of "$demo/program.log")"
    fi
    if ((SECONDS - started >= timeout)); then
        fail "no window \"$caption\" showed its values within $timeout s (DEMO_TIMEOUT);" \
            "$program is still running.$(tail_of "$demo/program.log")"
    fi
    sleep 1
done
echo "The window shows its values after $((SECONDS - started)) s"

# The virtual desktop is empty but for the window: trimming leaves the window.
shot=$demo/screenshot.png
screenshot() {
    import -window root "$shot.full.png" >"$demo/screenshot.log" 2>&1 &&
        convert "$shot.full.png" -trim +repage "$shot" >>"$demo/screenshot.log" 2>&1 ||
        fail "the screenshot could not be taken:$(tail_of "$demo/screenshot.log")"
    rm -f "$shot.full.png"
}
rm -f "$shot"
shot_at=$((seconds == 0 || seconds > 15 ? 15 : seconds))
for ((i = 1; seconds == 0 || i <= seconds; i++)); do
    if ((i > 1)) && { ended || ! line=$(values 10000); }; then
        # A closed window's program still ends its exchange and sends STOP.
        if ! settles 15 ended; then
            fail "the window is gone or does not answer, and $program still runs"
        fi
        reap_program
        [ "$status" -eq 0 ] ||
            fail "$program ended after $((i - 1)) s with exit status $status:$(tail_of "$demo/program.log")"
        echo "The window was closed after $((i - 1)) s."
        break
    fi
    printf '%3d s  %s\n' "$i" "${line//\\r\\n/ }"
    ((i != shot_at)) || screenshot
    sleep 1
done
[ -f "$shot" ] || fail "no screenshot: the window closed before its ${shot_at}th second"
echo "screenshot: $shot"
