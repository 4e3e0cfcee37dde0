#!/usr/bin/env bash
# Runs every libFuzzer target for the given number of seconds each (default
# 60) on its corpus under fuzz/corpus, and prints executions per second.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/setup.sh
gyro_install_missing
seconds=${1:-60}
gyro_build fuzz build/fuzz >/dev/null
status=0
for target in build/fuzz/fuzz/Fuzz*; do
    name=$(basename "$target")
    corpus=fuzz/corpus/$(sed -E 's/^Fuzz//; s/ParseSatData/satdata/; s/DecodeReply/reply/; s/ComTexts/comtexts/; s/ComPersist/compersist/; s/RotatorSession/rotator/; s/RotorAnswer/answer/' <<<"$name")
    # New inputs go to the build tree; the repository's corpus seeds each run.
    work=build/fuzz/corpus-$name
    mkdir -p "$work"
    log=build/fuzz/$name.log
    if "$target" -max_total_time="$seconds" -print_final_stats=1 "$work" "$corpus" >"$log" 2>&1; then
        result=clean
    else
        result=FAILED
        status=1
    fi
    runs=$(grep -E '^stat::number_of_executed_units' "$log" | awk '{print $2}')
    echo "$name: $result, ${runs:-0} runs in ${seconds}s, $(( ${runs:-0} / seconds )) exec/s (log: $log)"
done
exit $status
