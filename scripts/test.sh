#!/usr/bin/env bash
# The whole test suite: installs what is missing, checks formatting, builds
# with warnings as errors and runs every test, then builds and runs the tests
# again under AddressSanitizer and UndefinedBehaviorSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/check-format.sh

cmake --preset ci
cmake --build --preset ci
ctest --preset ci

cmake --preset sanitize
cmake --build --preset sanitize
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1 ctest --preset sanitize
