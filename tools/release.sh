#!/usr/bin/env bash
# Builds both plug-ins and packs the release archive out/tavok-<version>.zip:
# tavok.spi, tavok.sph, ifwic.spi, ifwic.sph (stripped of their symbols and
# debug sections), a tavok.default.ini that lists the example decoder of
# both architectures, so that the archive unzipped into a viewer's plug-in
# folder shows PNG, JPEG and GIF cache files at once, and unzipped over an
# install leaves the user's tavok.ini alone, the Japanese read-me and the
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
stripped=$root/out/release-stripped
rm -rf "$stripped"
mkdir -p "$stripped"
for file in mingw:i686:tavok.spi mingw64:x86_64:tavok.sph mingw:i686:ifwic.spi \
  mingw64:x86_64:ifwic.sph; do
  IFS=: read -r preset cpu name <<<"$file"
  "$cpu-w64-mingw32-strip" --strip-all -o "$stripped/$name" "build/$preset/bin/$name"
done
python3 - "$archive" "$stripped" <<'PY'
import sys, zipfile

archive, stripped = sys.argv[1], sys.argv[2]
files = [(f"{stripped}/{name}", name)
         for name in ("tavok.spi", "tavok.sph", "ifwic.spi", "ifwic.sph")]
# Fixed times, so that the same build gives the same archive.
stamp = (2026, 1, 1, 0, 0, 0)
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED) as zip:
    for source, name in files:
        with open(source, "rb") as f:
            zip.writestr(zipfile.ZipInfo(name, stamp), f.read(), zipfile.ZIP_DEFLATED)
    # Texts with CR LF; the read-me in UTF-8 with a byte-order mark, which
    # Notepad reads as such on every Windows version.
    for source, name, bom in [("docs/release/readme-ja.txt", "readme.txt", True),
                              ("docs/release/tavok.default.ini", "tavok.default.ini", False),
                              ("LICENSE", "LICENSE.txt", False)]:
        text = open(source, encoding="utf-8").read().replace("\n", "\r\n").encode("utf-8")
        zip.writestr(zipfile.ZipInfo(name, stamp), (b"\xef\xbb\xbf" if bom else b"") + text,
                     zipfile.ZIP_DEFLATED)
PY
echo "wrote out/tavok-$version.zip ($(stat -c %s "$archive") bytes)"
