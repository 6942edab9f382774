#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's settings: quiet, no
# Mono or Gecko prompts, and the prefix and architecture that the caller
# (ctest) chose; 32-bit unless told.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEARCH=${WINEARCH:-win32}
exec wine "$@"
