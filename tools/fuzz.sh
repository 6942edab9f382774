#!/usr/bin/env bash
# Fuzzes the container validation and header parsing with libFuzzer (clang,
# ASan, UBSan) for a given time, starting from the committed seed corpus.
#
#   tools/fuzz.sh [SECONDS]        default 600
#
# The growing corpus is kept in build/fuzz/corpus (the committed seeds are not
# touched); a crashing input lands in build/fuzz/artifacts. Keep every crash's
# input under tests/fuzz/regressions/ once it is fixed: the native tests
# replay that folder.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
seconds=${1:-600}
tools/install-deps.sh

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz >/dev/null
out=build/fuzz
mkdir -p "$out/corpus" "$out/artifacts"
cp -n tests/fuzz/corpus/* "$out/corpus/"

log=$out/fuzz.log
set +e
"$out/container_fuzzer" -max_total_time="$seconds" -print_final_stats=1 \
  -dict=tests/fuzz/container.dict -artifact_prefix="$out/artifacts/" \
  -max_len=4096 "$out/corpus" tests/fuzz/regressions >"$log" 2>&1
status=$?
set -e

# The last status line carries the coverage counters; the final stats the
# number of runs and the speed.
grep -E '^#[0-9]+' "$log" | tail -1
grep -E '^stat::' "$log"
echo "corpus: $(find "$out/corpus" -type f | wc -l) inputs in $out/corpus"
if ((status != 0)); then
  echo "fuzz: the target failed (exit $status); see $log and $out/artifacts" >&2
fi
exit $status
