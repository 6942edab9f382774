#!/usr/bin/env bash
# Builds both plug-ins and packs the release archive out/tavok-<version>.zip:
# tavok.spi, tavok.sph, ifwic.spi, ifwic.sph, the Japanese read-me and the
# licence. The version is the one in the file VERSION, and only there.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/install-deps.sh
version=$(tr -d ' \r\n' <VERSION)
for preset in mingw mingw64; do
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" --target tavok ifwic >/dev/null
done

archive=$root/out/tavok-$version.zip
mkdir -p out
python3 - "$archive" <<'PY'
import sys, zipfile

archive = sys.argv[1]
files = [
    ("build/mingw/bin/tavok.spi", "tavok.spi"),
    ("build/mingw64/bin/tavok.sph", "tavok.sph"),
    ("build/mingw/bin/ifwic.spi", "ifwic.spi"),
    ("build/mingw64/bin/ifwic.sph", "ifwic.sph"),
]
# Fixed times, so that the same build gives the same archive.
stamp = (2026, 1, 1, 0, 0, 0)
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as zip:
    for source, name in files:
        with open(source, "rb") as f:
            zip.writestr(zipfile.ZipInfo(name, stamp), f.read(), zipfile.ZIP_DEFLATED)
    # Texts with CR LF; the read-me in UTF-8 with a byte-order mark, which
    # Notepad reads as such on every Windows version.
    for source, name, bom in [("docs/release/readme-ja.txt", "readme.txt", True),
                              ("LICENSE", "LICENSE.txt", False)]:
        text = open(source, encoding="utf-8").read().replace("\n", "\r\n").encode("utf-8")
        zip.writestr(zipfile.ZipInfo(name, stamp), (b"\xef\xbb\xbf" if bom else b"") + text,
                     zipfile.ZIP_DEFLATED)
PY
echo "wrote out/tavok-$version.zip ($(stat -c %s "$archive") bytes)"
