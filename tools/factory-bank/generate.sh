#!/bin/sh
# Rebuilds resources/ovarnpresets.ovb from the table in FactoryBank.cpp.
# Usage: tools/factory-bank/generate.sh [build folder]
set -eu

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
build=${1:-"$root/build/factory-bank"}

cmake -S "$here" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" --target ovarn_factory_bank -j2
exe=$(find "$build" -type f -name ovarn_factory_bank -perm -u+x | head -n 1)
"$exe" "$root/resources/ovarnpresets.ovb"
