#!/usr/bin/env bash
# Fails when a C++ source of the project is not formatted as .clang-format says.
set -euo pipefail
cd "$(dirname "$0")/.."
mapfile -t sources < <(git ls-files -co --exclude-standard -- 'src/*.h' 'src/*.cpp' 'tests/*.h' 'tests/*.cpp' 'bench/*.h' 'bench/*.cpp')
[ ${#sources[@]} -eq 0 ] && exit 0
clang-format --dry-run --Werror "${sources[@]}"

# GCC 12 destroys a closure written inside a co_await expression twice: such
# lambdas must be named first and passed moved.
if grep -nE 'co_await[^;]*\[[^]]*\][[:space:]]*(\(|\{|mutable)' "${sources[@]}"; then
    echo "error: a lambda expression inside co_await (name it first)" >&2
    exit 1
fi
