#!/usr/bin/env bash
# Sets up, builds and runs every test.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh -DOVARN_BUILD_TESTS=ON -DOVARN_BUILD_BENCH=ON
ctest --test-dir build --output-on-failure -j 2
