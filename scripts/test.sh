#!/usr/bin/env bash
# The whole test suite: installs what is missing, checks formatting, builds
# with warnings as errors and runs every test; builds and runs the tests again
# under AddressSanitizer and UndefinedBehaviorSanitizer, and the core's tests
# under ThreadSanitizer; and runs each fuzz target for a short fixed time.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/check-format.sh

cmake --preset ci
cmake --build --preset ci
ctest --preset ci

cmake --preset tsan
cmake --build --preset tsan
TSAN_OPTIONS=halt_on_error=1 ctest --preset tsan

FUZZ_SECONDS=${FUZZ_SECONDS:-20} scripts/fuzz.sh

# Last, so that the suite's closing line is the whole suite's.
cmake --preset sanitize
cmake --build --preset sanitize
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset sanitize
