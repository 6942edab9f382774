#!/usr/bin/env bash
# Builds and runs the benchmark program under Wine and prints its Markdown
# tables (docs/benchmarks.md keeps a run), for the 32-bit build, or for the
# 64-bit one with TAVOK_BENCH_BUILD=mingw64.
# Usage: tools/bench.sh [MAX_MB [--large-mb N] [--only SECTION]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/build.sh >/dev/null
build=${TAVOK_BENCH_BUILD:-mingw}
if [[ $build == mingw64 ]]; then arch=win64 ext=sph; else arch=win32 ext=spi; fi
tools/wine-prefix.sh "build/$build/wine" "$arch"
export WINEPREFIX=$root/build/$build/wine WINEARCH=$arch
bin=$root/build/$build/bin
work=$root/out/bench
mkdir -p "$work"
tools/wine-run.sh "$bin/bench.exe" --tavok "$(winepath -w "$bin/tavok.$ext")" \
  --decoder "$(winepath -w "$bin/ifwic.$ext")" --fixture "$(winepath -w "$bin/fx_png.spi")" \
  --declining "$(winepath -w "$bin/fx_decline.spi")" \
  --second-fixture "$(winepath -w "$bin/fx_jpeg.spi")" \
  --work "$(winepath -w "$work")" --max-mb "${1:-64}" "${@:2}" | tr -d '\r'
