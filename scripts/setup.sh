#!/usr/bin/env bash
# Installs with apt-get whatever the build, the tests and the demo need and
# this machine lacks. Sourced by test.sh and demo.sh; quick when all is there.
PACKAGES="cmake ninja-build g++ clang libclang-rt-14-dev libgtest-dev googletest g++-mingw-w64-x86-64-posix
wine wine64 fonts-wine xvfb imagemagick xauth zip python3 libhamlib-utils"

gyro_install_missing() {
    local missing=()
    for p in $PACKAGES; do
        dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
    done
    [ ${#missing[@]} -eq 0 ] && return 0
    echo "Installing: ${missing[*]}"
    local sudo=""
    [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
}

# Configures a preset's build tree once, then builds it incrementally.
gyro_build() {
    local preset=$1 dir=$2
    [ -f "$dir/build.ninja" ] || cmake --preset "$preset" >/dev/null
    cmake --build "$dir" -j "$(nproc)"
}
