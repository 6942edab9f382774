#!/usr/bin/env bash
# Runs a Windows program under Wine with the project's settings: quiet, no
# Mono or Gecko prompts, and the prefix that the caller (ctest) chose.
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEARCH=win32
exec wine "$@"
