#!/usr/bin/env bash
# Prepares the Wine prefix at $1 for tests and tools, and leaves a persistent
# wineserver running for it, so that each test program starts quickly. $2 is
# the prefix's architecture: win32 (the default) for the 32-bit build, win64
# for the 64-bit one.
# Must run inside the X session the tests use: a wineserver started outside
# Xvfb shows no windows.
set -euo pipefail
prefix=$(realpath -m "$1")
export WINEPREFIX=$prefix WINEARCH=${2:-win32} WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

if [[ ! -f $prefix/system.reg ]]; then
  mkdir -p "$prefix"
  wineboot -i >"$prefix.boot.log" 2>&1
  # Without a window manager Wine waits 2 s at every window close unless its
  # windows are unmanaged.
  wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f >/dev/null 2>&1
fi
# The persistent server keeps running after the tests; its output must not
# hold ctest's pipes open.
wineserver -k >/dev/null 2>&1 || true
wineserver -p >/dev/null 2>&1 </dev/null &
# Started services (explorer, services.exe) must not inherit ctest's pipes.
wineboot -i >/dev/null 2>&1 </dev/null
