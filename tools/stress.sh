#!/usr/bin/env bash
# The long runs of the hardening tests, under Wine with the full counts (the
# test suite runs them with small ones):
#
#   tools/stress.sh soak [REQUESTS]          default 10000
#   tools/stress.sh mutate [INPUTS [SEED]]   default 20000, seed 8
#   tools/stress.sh threads [REQUESTS]       default 2500 per thread
#
# soak: one process, mixed requests; private bytes and handles must stay flat.
# mutate: mutated cache files through every export; every answer a code of
# the interface, no crash.
# threads: 1, 2, 4 and 8 threads of mixed requests while a decoder is added
# and removed; every answer as alone, nothing left behind.
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
  *) sed -n '2,14p' "$0" >&2; exit 64 ;;
esac

source tools/common/xvfb.sh
run_in_xvfb 1280x1024x24 "$0" "$@"
tools/build.sh >/dev/null
tools/wine-prefix.sh build/mingw/wine
export WINEPREFIX=$root/build/mingw/wine
cd build/mingw
../../tools/wine-run.sh "bin/${suite:-hardening_tests}.exe" --gtest_filter="$filter" --gtest_color=no
