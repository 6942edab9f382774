#!/usr/bin/env bash
# Runs every test: installs what is missing, builds, and runs the Windows
# suites under Wine (in an Xvfb session, under code pages 1252 and 932) and the
# pure code natively under AddressSanitizer and UBSan, and the libFuzzer target
# once over its corpus (tools/fuzz.sh runs it for a while).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/install-deps.sh

# The wineserver must start inside the X session that the GUI tests use.
if [[ -z ${TAVOK_IN_XVFB:-} ]]; then
  exec env TAVOK_IN_XVFB=1 xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

cmake --preset mingw >/dev/null
cmake --build --preset mingw
tools/wine-prefix.sh build/mingw/wine
ctest --preset mingw -j2

cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
build/fuzz/container_fuzzer -runs=0 -artifact_prefix=build/fuzz/ tests/fuzz/corpus \
  tests/fuzz/regressions 2>&1 | tail -1
