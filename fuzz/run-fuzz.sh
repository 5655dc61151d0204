#!/bin/sh
# Builds the fuzz target with clang and runs it.
# Usage: fuzz/run-fuzz.sh SECONDS [extra libFuzzer options]
# Build folder: $OVARN_FUZZ_BUILD (default build-fuzz). New corpus entries go
# there, not into the repository; crashes land in its artifacts folder and
# the script fails.
set -eu

seconds=${1:-60}
[ $# -gt 0 ] && shift

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/.." && pwd)
build=${OVARN_FUZZ_BUILD:-"$root/build-fuzz"}
cxx=${OVARN_FUZZ_CXX:-clang++-22}
cc=${OVARN_FUZZ_CC:-clang-22}

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" >/dev/null
cmake --build "$build" --target ovarn_fuzz -j2

mkdir -p "$build/corpus" "$build/artifacts"

# The target moves HOME and TMPDIR to a scratch folder of its own.
"$build/ovarn_fuzz" -max_total_time="$seconds" -timeout=60 -rss_limit_mb=4096 \
    -dict="$here/ovarn.dict" -artifact_prefix="$build/artifacts/" \
    "$@" "$build/corpus" "$here/seeds"
