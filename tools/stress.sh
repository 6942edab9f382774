#!/usr/bin/env bash
# The long runs of the hardening tests, under Wine with the full counts (the
# test suite runs them with small ones):
#
#   tools/stress.sh soak [REQUESTS]          default 10000
#   tools/stress.sh mutate [INPUTS [SEED]]   default 20000, seed 8
#   tools/stress.sh threads [REQUESTS]       default 2500 per thread
#   tools/stress.sh reload [CYCLES]          default 10000
#
# soak: one process, mixed requests; private bytes and handles must stay flat.
# mutate: mutated cache files through every export; every answer a code of
# the interface, no crash.
# threads: 1, 2, 4 and 8 threads of mixed requests while a decoder is added
# and removed; every answer as alone, nothing left behind.
# reload: tavok loaded, asked once and freed, again and again; the next TLS
# index, handles and private bytes must stay flat.
#
# The 32-bit build, or the 64-bit one with TAVOK_STRESS_BUILD=mingw64.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
mode=${1:-}
case $mode in
  soak) filter='Soak.*'; export TAVOK_SOAK_REQUESTS=${2:-10000} ;;
  mutate)
    filter='MutationRun.*'
    export TAVOK_MUTATION_INPUTS=${2:-20000} TAVOK_MUTATION_SEED=${3:-8}
    ;;
  threads)
    filter='Concurrency.*' suite=unit_tests
    export TAVOK_CONCURRENCY_REQUESTS=${2:-2500}
    ;;
  reload) filter='Reload.*'; export TAVOK_RELOAD_CYCLES=${2:-10000} ;;
  *) sed -n '2,20p' "$0" >&2; exit 64 ;;
esac

source tools/common/xvfb.sh
run_in_xvfb 1280x1024x24 "$0" "$@"
tools/build.sh >/dev/null
build=${TAVOK_STRESS_BUILD:-mingw}
if [[ $build == mingw64 ]]; then arch=win64; else arch=win32; fi
tools/wine-prefix.sh "build/$build/wine" "$arch"
export WINEPREFIX=$root/build/$build/wine WINEARCH=$arch
cd "build/$build"
../../tools/wine-run.sh "bin/${suite:-hardening_tests}.exe" --gtest_filter="$filter" --gtest_color=no
