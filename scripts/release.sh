#!/usr/bin/env bash
# Makes the release zip: dist/Gyrotalk-0.97.zip with Gyrotalk.exe, the
# tracking-program simulator, the rotor simulator (a controller on a TCP
# port) and a short how-to for Windows users.
# WINDOWS_BUILD and NATIVE_BUILD name the build trees (default build/windows
# and build/native), DIST the folder of the zip (default dist).
#
# The simulator goes in under a name of its own: unpacked beside the real
# tracking program, a Zenitrak.exe would replace it, and Gyrotalk would
# start the simulator instead.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/setup.sh
win=${WINDOWS_BUILD:-build/windows}
native=${NATIVE_BUILD:-build/native}
dist=${DIST:-dist}
gyro_install_missing
gyro_build native "$native" >/dev/null
gyro_build windows "$win" >/dev/null
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$win/src/main/Gyrotalk.exe" "$stage/"
cp "$win/tools/zenitrak/Zenitrak.exe" "$stage/TrackingSimulator.exe"
cp "$win/tools/rotorsim/RotorSimulator.exe" "$stage/"
sed 's/$/\r/' docs/README-Windows.txt >"$stage/README.txt"
mkdir -p "$dist"
zip=$(cd "$dist" && pwd)/Gyrotalk-0.97.zip
rm -f "$zip"
(cd "$stage" && zip -q -9 "$zip" Gyrotalk.exe TrackingSimulator.exe RotorSimulator.exe README.txt)
ls -l "$zip"
