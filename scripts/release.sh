#!/usr/bin/env bash
# Makes the release zip: dist/Gyrotalk-0.97.zip with Gyrotalk.exe, the
# tracking-program simulator and a short how-to for Windows users.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/setup.sh
gyro_install_missing
gyro_build native build/native >/dev/null
gyro_build windows build/windows >/dev/null
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp build/windows/src/main/Gyrotalk.exe build/windows/tools/zenitrak/Zenitrak.exe "$stage/"
sed 's/$/\r/' docs/README-Windows.txt >"$stage/README.txt"
mkdir -p dist
rm -f dist/Gyrotalk-0.97.zip
(cd "$stage" && zip -q -9 "$OLDPWD/dist/Gyrotalk-0.97.zip" Gyrotalk.exe Zenitrak.exe README.txt)
ls -l dist/Gyrotalk-0.97.zip
