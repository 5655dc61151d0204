#!/usr/bin/env bash
# Builds the unit tests with clang and a sanitizer and runs them.
#   scripts/sanitize.sh asan    AddressSanitizer + UndefinedBehaviorSanitizer, the whole suite
#   scripts/sanitize.sh tsan    ThreadSanitizer, the audio thread beside the message thread
#   scripts/sanitize.sh rtsan   RealtimeSanitizer, the audio callback must not allocate or lock
set -euo pipefail
cd "$(dirname "$0")/.."

mode=${1:?usage: scripts/sanitize.sh asan|tsan|rtsan}
build="build-$mode"
common="-fno-omit-frame-pointer -g1 -fdelayed-template-parsing -Wno-function-effects -Wno-deprecated-declarations"

case "$mode" in
    asan)  flags="-fsanitize=address,undefined -fno-sanitize-recover=undefined"
           filter='*'
           export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:strict_string_checks=1"
           export LSAN_OPTIONS="suppressions=$PWD/tests/sanitizers/lsan.supp:print_suppressions=0"
           export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1" ;;
    tsan)  flags="-fsanitize=thread"
           filter='ThreadSafety.*:Notifications.*'
           export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/sanitizers/tsan.supp" ;;
    rtsan) flags="-fsanitize=realtime -DOVARN_RTSAN=1"
           filter='RealtimeSafety.*'
           export RTSAN_OPTIONS="halt_on_error=1:print_stats_on_exit=0" ;;
    *)     echo "unknown mode: $mode" >&2; exit 2 ;;
esac

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_C_COMPILER=clang-22 -DCMAKE_CXX_COMPILER=clang++-22 \
      -DCMAKE_C_FLAGS="$flags $common" -DCMAKE_CXX_FLAGS="$flags $common" \
      -DCMAKE_EXE_LINKER_FLAGS="$flags" -DCMAKE_MODULE_LINKER_FLAGS="$flags" -DCMAKE_SHARED_LINKER_FLAGS="$flags" \
      -DOVARN_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" --target ovarn_tests -j "$(nproc 2>/dev/null || echo 2)"

"$build/tests/ovarn_tests" --gtest_filter="$filter" --gtest_brief=1
echo "$mode: no reports"
