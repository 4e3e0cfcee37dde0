#!/usr/bin/env bash
# Builds everything and shows what runs so far: the Windows build's tests
# under Wine, verbosely.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/setup.sh
gyro_install_missing
gyro_build native build/native
gyro_build windows build/windows
export WINEPREFIX=$PWD/build/windows/wineprefix
ctest --test-dir build/windows -V
