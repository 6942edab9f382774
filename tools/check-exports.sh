#!/usr/bin/env bash
# Checks a built plug-in's export and import tables: the entry points exported
# undecorated, an internal name equal to the file's name (tavok.spi), and
# imports from Windows system DLLs only (no MinGW runtime DLL may sneak in).
set -euo pipefail
dll=$1
objdump=${2:-i686-w64-mingw32-objdump}
dump=$($objdump -p "$dll")
fail=0

name=$(sed -n 's/^Name[[:space:]]*[0-9a-f]* \(.*\)$/\1/p' <<<"$dump" | head -1)
if [[ $name != "$(basename "$dll")" ]]; then
  echo "internal name is '$name', expected $(basename "$dll")"
  fail=1
fi

exports=$(awk '/\[Ordinal\/Name Pointer\] Table/{t=1;next} t&&/^[[:space:]]*\[/{print $NF;next} t{t=0}' <<<"$dump" | sort)
expected=$(printf '%s\n' ${TAVOK_EXPECTED_EXPORTS:-GetPluginInfo IsSupported GetPreview GetPictureInfo GetPicture ConfigurationDlg GetPluginInfoW IsSupportedW GetPreviewW GetPictureInfoW GetPictureW} | sort)
if [[ $exports != "$expected" ]]; then
  echo "exports:"; echo "$exports"; echo "expected:"; echo "$expected"
  fail=1
fi
if grep -q '@' <<<"$exports"; then
  echo "decorated export names"
  fail=1
fi

system_dlls='^(kernel32|user32|gdi32|shell32|comctl32|comdlg32|advapi32|msvcrt|ole32|oleaut32|shlwapi|windowscodecs)\.dll$'
while read -r import; do
  if ! grep -qiE "$system_dlls" <<<"$import"; then
    echo "imports $import, which is not a Windows system DLL"
    fail=1
  fi
done < <(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump")

if ((fail == 0)); then
  echo "export table: $(tr '\n' ' ' <<<"$exports")"
  echo "imports: $(sed -n 's/^[[:space:]]*DLL Name: //p' <<<"$dump" | tr '\n' ' ')"
fi
exit $fail
