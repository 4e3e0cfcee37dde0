#!/usr/bin/env bash
# What the path through Hamlib's rotator daemon costs: the seven passes of
# bench/passes.sh flown side by side with the default choices, once through
# rotctld -m 1 (its dummy rotator, 6 degrees a second on each axis) and once
# with the frames to the rotator simulator turning as fast. Prints the
# pointing error per pass and over all of them; draws passes-rotctld.png in
# the build tree's bench-passes.
#
#   bench/rotctld.sh [SCALE]   # the dummy turns in real time: SCALE 1 (the default, about 105 minutes) is fair
set -euo pipefail
cd "$(dirname "$0")/.."
out=$PWD/${WINDOWS_BUILD:-build/windows}/bench-passes
mkdir -p "$out"
CHOICES="frames rotctld" PICTURE=$out/passes-rotctld.png exec bench/passes.sh "${1:-1}"
