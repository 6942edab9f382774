#!/usr/bin/env bash
# Checks that a built DLL imports only functions that Windows XP SP3's system
# DLLs export, so that the loader there does not refuse it whole. The list of
# known functions (tools/xp-imports.txt, "dll function" per line) is kept by
# hand: a function joins it only once checked against XP SP3's documentation.
# Usage: check-imports.sh DLL [OBJDUMP [LIST]]
set -euo pipefail
dll=$1
objdump=${2:-i686-w64-mingw32-objdump}
list=${3:-$(dirname "$0")/xp-imports.txt}

imports=$($objdump -p "$dll" |
  awk '/DLL Name:/{dll=tolower($3)} /^\t[0-9a-f]+\t +[0-9]+  /{print dll, $3}' | sort -u)
if [[ -z $imports ]]; then
  echo "no imports found in $dll"
  exit 1
fi
unknown=$(comm -23 <(echo "$imports") <(grep -v '^#' "$list" | sort -u))
if [[ -n $unknown ]]; then
  echo "imports not known to exist on Windows XP SP3:"
  echo "$unknown"
  exit 1
fi
echo "imports: $(wc -l <<<"$imports") functions, all known on Windows XP SP3"
