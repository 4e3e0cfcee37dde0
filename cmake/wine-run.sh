#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's own prefix, made on
# first use: null graphics driver (no X server needed), no Mono/Gecko prompts.
# Wine's own error lines (its err channel) go to stderr beside the program's:
# a program that Wine ends before it runs says nothing else.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the build tree prefix}"
export WINEPREFIX WINEDEBUG=${WINEDEBUG:--all,err+all} WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64

# Debian's Wine 8 has no preloader: its loader is a fixed-address binary at
# 0x7d000000, and recent Linux kernels start such a binary's heap anywhere in
# the GiB above it. Now and then the heap covers 0x7ffe0000, where Wine maps
# the shared user data, and the process exits with status 1 before the
# program runs ("failed to map the shared user data: c0000018"). Without
# address randomisation the heap starts right above the loader, 48 MiB
# below that page. Every process the program starts inherits it.
wine() { setarch -R wine "$@"; }

# The marker names the set-up below: a prefix made by an older one is set up
# again on its next use (a build tree kept across such a change included).
ready=$WINEPREFIX/.gyro-ready-2
if [ ! -f "$ready" ]; then
    mkdir -p "$WINEPREFIX"
    (
        flock 9
        if [ ! -f "$ready" ]; then
            # The desktop would start with the X11 driver before the null one
            # is set and then stall: set it first, restart, then boot.
            wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 || true
            wineserver -k 2>/dev/null || true
            wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
            setarch -R wineboot -u >/dev/null 2>&1
            # A crashing program ends at once, with its exception's code and
            # Wine's line on the fault. With no debugger named Wine starts
            # winedbg, whose crash dialog nobody sees: the test waits for its
            # time-out; and without the dialog winedbg ends a C++ program
            # with status 0, a crash taken for a pass.
            wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /d '' /f >/dev/null
            touch "$ready"
        fi
    ) 9>"$WINEPREFIX.lock"
fi
exec setarch -R wine "$@"
