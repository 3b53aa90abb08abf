#!/bin/sh
# Builds the shipped files and the benchmark program, runs the benchmark under
# Wine in a prefix of its own (<build>/bench-wine/<env>) and prints its tables.
# usage: tools/bench.sh [build directory] [env] [runs] [cases]
#   build directory  default <source>/build-bench
#   env              en (default) or ja, as tools/wine-env.sh knows them
#   runs             runs of each measurement, 5 by default
#   cases            digits of the cases to run ("23"), all four by default
set -e
source_dir=$(cd "$(dirname "$0")/.." && pwd)
build=$(mkdir -p "${1:-$source_dir/build-bench}" && cd "${1:-$source_dir/build-bench}" && pwd)
env=${2:-en}
runs=${3:-5}
cases=${4:-1234}
root=$build/bench-wine
wine_env=$source_dir/tools/wine-env.sh

log=$build/bench-build.log
if ! { cmake -S "$source_dir" -B "$build" && cmake --build "$build" -j2 --target kelvara_bench kelvara_dist; } >"$log" 2>&1; then
  tail -30 "$log" >&2
  echo "bench.sh: the build failed (whole log in $log)" >&2
  exit 1
fi
"$wine_env" start "$root" "$env"
trap '"$wine_env" stop "$root" "$env"' EXIT INT TERM
"$wine_env" run "$root" "$env" "$build/bench/kelvara_bench.exe" "$runs" "$cases"
