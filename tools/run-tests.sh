#!/bin/sh
# The test command: installs what is missing, builds everything and runs the whole
# suite (every Windows test under code page 1252 and under 932) with CTest.
# usage: tools/run-tests.sh [build directory] [ctest arguments...]
set -e
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
[ $# -gt 0 ] && shift
sh "$here/tools/install-deps.sh"
cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build" -j"$(nproc)"
cd "$build"
exec ctest --output-on-failure -j4 "$@"
