#!/usr/bin/env bash
# Installs what is missing, then configures and builds the Windows targets of
# both builds: 32-bit into build/mingw, 64-bit into build/mingw64.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/install-deps.sh
for preset in mingw mingw64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
done
