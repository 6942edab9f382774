#!/usr/bin/env bash
# Runs every test: installs what is missing, builds, and runs the Windows
# suites under Wine (in an Xvfb session, under code pages 1252 and 932) and the
# pure code natively under AddressSanitizer and UBSan, and the libFuzzer target
# once over its corpus (tools/fuzz.sh runs it for a while); between them, the
# release archive as a new user unzips it (tools/check-release.sh).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/install-deps.sh

source tools/common/xvfb.sh
run_in_xvfb 1280x1024x24 "$0" "$@"

# The 32-bit and the 64-bit build, each with its suites in a prefix of its own.
for build in mingw:win32 mingw64:win64; do
  preset=${build%:*}
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  tools/wine-prefix.sh "build/$preset/wine" "${build#*:}"
  ctest --preset "$preset" -j2
done

# The release archive, unzipped as a new user unzips it, through both builds.
tools/release.sh >/dev/null
tools/check-release.sh

cmake --preset native >/dev/null
cmake --build --preset native
ctest --preset native

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
build/fuzz/container_fuzzer -runs=0 -artifact_prefix=build/fuzz/ tests/fuzz/corpus \
  tests/fuzz/regressions 2>&1 | tail -1
