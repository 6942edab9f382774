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
# The release's DLLs, stripped as tools/release.sh strips them, and the
# do-nothing plug-in, for the host patterns.
if [[ $build == mingw64 ]]; then cpu=x86_64; else cpu=i686; fi
stripped=$work/stripped-$ext
mkdir -p "$stripped"
for name in tavok.$ext ifwic.$ext floor-plugin.$ext; do
  "$cpu-w64-mingw32-strip" --strip-all -o "$stripped/$name" "$bin/$name"
done
echo "stripped: $(cd "$stripped" && stat -c '%n %s bytes' tavok.$ext floor-plugin.$ext | tr '\n' ' ')" >&2
tools/wine-run.sh "$bin/bench.exe" --tavok "$(winepath -w "$bin/tavok.$ext")" \
  --decoder "$(winepath -w "$bin/ifwic.$ext")" --fixture "$(winepath -w "$bin/fx_png.spi")" \
  --declining "$(winepath -w "$bin/fx_decline.spi")" \
  --second-fixture "$(winepath -w "$bin/fx_jpeg.spi")" \
  --release-tavok "$(winepath -w "$stripped/tavok.$ext")" \
  --release-decoder "$(winepath -w "$stripped/ifwic.$ext")" \
  --floor "$(winepath -w "$stripped/floor-plugin.$ext")" \
  --work "$(winepath -w "$work")" --max-mb "${1:-64}" "${@:2}" | tr -d '\r'
