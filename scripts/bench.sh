#!/usr/bin/env bash
# Builds Corvane and its benchmarks (RelWithDebInfo, in build-bench) and runs
# them all, printing each figure beside its target. Nothing is asserted:
# bench/README.md records the figures, the machine and the load.
#
#   BENCH_RUNS     start-up runs whose median is shown (default 5)
#   BENCH_IDLE     seconds of idle measured (default 60)
#   BENCH_CYCLES   window open/close cycles (default 100)
#   BENCH_CHANGES  battery changes whose time to notification is measured (default 11)
#   BENCH_LIVE_IDLE seconds of idle beside the real upowerd, a laptop battery changing (default 300)
set -euo pipefail
cd "$(dirname "$0")/.."

build=${BENCH_BUILD:-build-bench}
scripts/install-deps.sh
cmake -S bench -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" -j"${BENCH_JOBS:-2}" --target refresh_bench history_bench bare_tray corvane

echo "== machine: $(nproc) CPUs, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | sed 's/^ //')"
echo "== load: $(uptime)"
echo "== refresh cost against the device count"
"$(find "$build" -name refresh_bench -type f -perm -u+x | head -n1)" 2> >(grep -v 'fd limit' >&2)
echo "== battery history: estimate error, recording cost, file size"
"$(find "$build" -name history_bench -type f -perm -u+x | head -n1)"
echo "== the program on a simulated desktop"
/usr/bin/python3 -W ignore bench/desktop_bench.py "$(find "$build" -name corvane -type f -perm -u+x | head -n1)" \
    --runs "${BENCH_RUNS:-5}" --idle "${BENCH_IDLE:-60}" --cycles "${BENCH_CYCLES:-100}" \
    --screenshot "$build/window-5-devices.png"
if [ -x /usr/libexec/upowerd ] && command -v umockdev-wrapper >/dev/null; then
    echo "== against the real upowerd over simulated kernel batteries"
    /usr/bin/python3 -W ignore bench/upowerd_bench.py "$(find "$build" -name refresh_bench -type f -perm -u+x | head -n1)" \
        "$(find "$build" -name corvane -type f -perm -u+x | head -n1)" --runs "${BENCH_CHANGES:-11}" \
        --idle "${BENCH_LIVE_IDLE:-300}" --bare "$(find "$build" -name bare_tray -type f -perm -u+x | head -n1)"
fi
echo "== load: $(uptime)"
