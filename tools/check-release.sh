#!/usr/bin/env bash
# Checks the release archive as a new user meets it: unzipped into an empty
# plug-in folder, with no other step, a PNG, a JPEG and a GIF cache file must
# show their pictures through tavok.spi (32-bit) and tavok.sph (64-bit), each
# the very picture that the example decoder alone makes of the download. Then
# as an existing user meets it: unzipped over an install whose tavok.ini lists
# decoders of the user's own, every file replaced, the list stays as it was
# and the user's decoder still serves the picture.
# Usage: tools/check-release.sh [ARCHIVE]   (default: the one tools/release.sh
# wrote for the version in VERSION)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
version=$(tr -d ' \r\n' <VERSION)
archive=${1:-$root/out/tavok-$version.zip}
if [[ ! -f $archive ]]; then
  echo "check-release: $archive is missing; tools/release.sh makes it" >&2
  exit 1
fi
# Code page 1252, with file names mapped to the Linux side in UTF-8.
export LC_ALL=C.UTF-8
scratch=$root/out/release-check
rm -rf "$scratch"
mkdir -p "$scratch/plugins" "$scratch/downloads" "$scratch/cache"
python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' \
  "$archive" "$scratch/plugins"

# Each DLL says which release it is, in English and Japanese, and the version
# agrees with the archive's name.
python3 - "$archive" "$scratch/plugins" <<'PY'
import os, re, sys
sys.path.insert(0, "tools/common")
import version_info

archive, folder = sys.argv[1], sys.argv[2]
version = re.fullmatch(r"tavok-(.+)\.zip", os.path.basename(archive)).group(1)
for name in ("tavok.spi", "tavok.sph", "ifwic.spi", "ifwic.sph"):
    tables = version_info.string_tables(open(os.path.join(folder, name), "rb").read())
    for block in ("040904B0", "041104B0"):
        table = tables.get(block, {})
        expected = {"FileVersion": version, "ProductVersion": version,
                    "OriginalFilename": name, "ProductName": "tavok"}
        wrong = {key: table.get(key) for key, value in expected.items() if table.get(key) != value}
        if wrong or not table.get("FileDescription"):
            sys.exit(f"check-release: {name}'s version resource ({block}) says {wrong or table}")
print(f"release: the four DLLs carry version {version}, in English and Japanese")
PY

tools/wine-prefix.sh build/mingw/wine win32
WINEPREFIX=$root/build/mingw/wine tools/wine-run.sh build/mingw/bin/make-samples.exe \
  "$(WINEPREFIX=$root/build/mingw/wine winepath -w "$scratch/downloads")" >/dev/null
for kind in png:png jpeg:jpg gif:gif; do
  tools/qcx-wrap.py "http://example.com/pictures/sample.${kind#*:}?from=release" \
    "$scratch/downloads/sample.${kind#*:}" "$scratch/cache/${kind%:*}.qcx"
done

for build in mingw:win32:spi mingw64:win64:sph; do
  IFS=: read -r preset arch ext <<<"$build"
  tools/wine-prefix.sh "build/$preset/wine" "$arch"
  export WINEPREFIX=$root/build/$preset/wine WINEARCH=$arch
  render() { tools/wine-run.sh "build/$preset/bin/spi-render.exe" "$@" >/dev/null; }
  win() { winepath -w "$1"; }
  for kind in png:png jpeg:jpg gif:gif; do
    cache=$scratch/cache/${kind%:*}.qcx
    render --out "$(win "$cache.$ext.bmp")" "$(win "$scratch/plugins/tavok.$ext")" "$(win "$cache")"
    render --out "$(win "$cache.$ext.direct.bmp")" "$(win "$scratch/plugins/ifwic.$ext")" \
      "$(win "$scratch/downloads/sample.${kind#*:}")"
    if ! cmp -s "$cache.$ext.bmp" "$cache.$ext.direct.bmp"; then
      echo "check-release: tavok.$ext from the archive did not show ${kind%:*}.qcx's picture" >&2
      exit 1
    fi
  done
  echo "release: tavok.$ext unzipped with no other step shows the PNG, JPEG and GIF pictures"
done

# An install (this very archive stands in for the earlier release) whose
# tavok.ini lists a decoder of the user's for each build: the test fixture,
# whose 4 x 3 picture no example decoder makes.
upgrade=$scratch/upgrade
unzip_into() { python3 -c 'import sys, zipfile; zipfile.ZipFile(sys.argv[1]).extractall(sys.argv[2])' "$archive" "$1"; }
mkdir -p "$upgrade/mine32" "$upgrade/mine64"
unzip_into "$upgrade"
cp build/mingw/bin/fx_png.spi "$upgrade/mine32/"
cp build/mingw64/bin/fx_png.spi "$upgrade/mine64/"
printf '[SPI]\r\nCount=2\r\nPath0=mine32\\fx_png.spi\r\nPath1=mine64\\fx_png.spi\r\n' \
  >"$upgrade/tavok.ini"
cp "$upgrade/tavok.ini" "$scratch/tavok.ini.before"
unzip_into "$upgrade"
if ! cmp -s "$upgrade/tavok.ini" "$scratch/tavok.ini.before"; then
  echo "check-release: unzipping over an install changed its tavok.ini" >&2
  exit 1
fi
for build in mingw:win32:spi:32 mingw64:win64:sph:64; do
  IFS=: read -r preset arch ext bits <<<"$build"
  export WINEPREFIX=$root/build/$preset/wine WINEARCH=$arch
  render() { tools/wine-run.sh "build/$preset/bin/spi-render.exe" "$@" >/dev/null; }
  cache=$scratch/cache/png.qcx
  render --out "$(winepath -w "$cache.upgrade.$ext.bmp")" "$(winepath -w "$upgrade/tavok.$ext")" \
    "$(winepath -w "$cache")"
  # The fixture's picture is 4 x 3 pixels; the example decoder's 64 x 48.
  size=$(python3 -c 'import struct, sys; print("%dx%d" % struct.unpack_from("<ii", open(sys.argv[1], "rb").read(), 18))' \
    "$cache.upgrade.$ext.bmp")
  if [[ $size != 4x3 ]]; then
    echo "check-release: after the upgrade, tavok.$ext no longer uses the user's decoder ($size)" >&2
    exit 1
  fi
  echo "release: unzipped over an install, tavok.$ext keeps the user's tavok.ini and decoder"
done
