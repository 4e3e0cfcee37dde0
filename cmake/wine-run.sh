#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's own prefix, made on
# first use: null graphics driver (no X server needed), no Mono/Gecko prompts.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must name the build tree prefix}"
export WINEPREFIX WINEDEBUG=${WINEDEBUG:--all} WINEDLLOVERRIDES="mscoree,mshtml=" WINEARCH=win64
if [ ! -f "$WINEPREFIX/.gyro-ready" ]; then
    mkdir -p "$WINEPREFIX"
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.gyro-ready" ]; then
            # The desktop would start with the X11 driver before the null one
            # is set and then stall: set it first, restart, then boot.
            wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null 2>&1 || true
            wineserver -k 2>/dev/null || true
            wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f >/dev/null
            wineboot -u >/dev/null 2>&1
            # A crashing program ends at once instead of waiting in a debugger.
            wine reg delete 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\AeDebug' /v Debugger /f \
                >/dev/null 2>&1 || true
            touch "$WINEPREFIX/.gyro-ready"
        fi
    ) 9>"$WINEPREFIX.lock"
fi
exec wine "$@"
