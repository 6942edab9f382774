#!/usr/bin/env bash
# Builds and runs the benchmark program under Wine and prints its Markdown
# tables (docs/benchmarks.md keeps a run).
# Usage: tools/bench.sh [MAX_MB [--large-mb N] [--only SECTION]]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/build.sh >/dev/null
tools/wine-prefix.sh build/mingw/wine
export WINEPREFIX=$root/build/mingw/wine
bin=$root/build/mingw/bin
work=$root/out/bench
mkdir -p "$work"
tools/wine-run.sh "$bin/bench.exe" --tavok "$(winepath -w "$bin/tavok.spi")" \
  --decoder "$(winepath -w "$bin/ifwic.spi")" --fixture "$(winepath -w "$bin/fx_png.spi")" \
  --work "$(winepath -w "$work")" --max-mb "${1:-64}" "${@:2}" | tr -d '\r'
