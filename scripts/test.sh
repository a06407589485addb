#!/usr/bin/env bash
# The whole test suite: installs what is missing, checks formatting, builds
# with warnings as errors and runs every test; builds and runs every test
# again under ThreadSanitizer, and under AddressSanitizer with
# UndefinedBehaviorSanitizer; and runs each fuzz target for a short fixed time.
# The sanitizers' options are in CMakePresets.json.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/check-format.sh

cmake --preset ci
cmake --build --preset ci
ctest --preset ci

cmake --preset tsan
cmake --build --preset tsan
ctest --preset tsan

FUZZ_SECONDS=${FUZZ_SECONDS:-20} scripts/fuzz.sh

# Last, so that the suite's closing line is the whole suite's.
cmake --preset sanitize
cmake --build --preset sanitize
ctest --preset sanitize
