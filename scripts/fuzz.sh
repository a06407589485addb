#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each for a fixed time from its corpus
# in fuzz/corpus/<target>. Fails when a target crashes or reports.
#
#   FUZZ_SECONDS   time per target (default 30)
#   FUZZ_BUILD     build folder (default build-fuzz)
#   FUZZ_MERGE=1   fold new inputs that reach new code back into the corpus
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${FUZZ_SECONDS:-30}
build=${FUZZ_BUILD:-build-fuzz}
targets=(settings_file upower_mapping)

scripts/install-deps.sh
CC=clang CXX=clang++ cmake -S fuzz -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCORVANE_WERROR=ON \
    -DCORVANE_SANITIZER=address
cmake --build "$build" -j"${FUZZ_JOBS:-2}" --target "${targets[@]/#/fuzz_}"

status=0
for target in "${targets[@]}"; do
    binary=$(find "$build" -name "fuzz_$target" -type f -perm -u+x | head -n1)
    work=$(mktemp -d)
    artifacts="$build/artifacts/$target/"
    mkdir -p "$artifacts"
    echo "== fuzz_$target for ${seconds}s"
    # New inputs go to a scratch folder; the corpus in the repository stays as it is.
    if ! UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 "$binary" -max_total_time="$seconds" -max_len=4096 \
        -timeout=10 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$artifacts" \
        "$work" "fuzz/corpus/$target" 2>"$build/fuzz_$target.log"; then
        tail -n 60 "$build/fuzz_$target.log" >&2
        echo "fuzz_$target FAILED; the input is in $artifacts" >&2
        status=1
    else
        grep -E '^stat::(number_of_executed_units|new_units_added)' "$build/fuzz_$target.log" || true
        if [ "${FUZZ_MERGE:-0}" = 1 ]; then
            "$binary" -merge=1 "fuzz/corpus/$target" "$work" 2>/dev/null
        fi
    fi
    rm -rf "$work"
done
exit $status
