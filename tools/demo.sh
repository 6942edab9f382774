#!/usr/bin/env bash
# The main job: builds everything, writes sample cache files (a PNG fetched
# from a URL with a query string, a JPEG, a GIF, and a .zip download that no
# decoder takes), a tavok.ini that lists the example decoder ifwic.spi, and
# renders each cache file through tavok.spi with spi-render under Wine into
# out/demo/ as .bmp, printing each description's text.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/build.sh >/dev/null

out=$root/out/demo
rm -rf "$out"
mkdir -p "$out/plugins" "$out/downloads" "$out/cache"
bin=$root/build/mingw/bin
tools/wine-prefix.sh build/mingw/wine
export WINEPREFIX=$root/build/mingw/wine
win() { winepath -w "$1"; }

# A viewer's plug-in folder: tavok.spi, the decoder it delegates to, its list.
cp "$bin/tavok.spi" "$bin/ifwic.spi" "$out/plugins/"
printf '[SPI]\r\nCount=1\r\nPath0=ifwic.spi\r\n[Icon]\r\nWidth=64\r\nHeight=64\r\n' \
  >"$out/plugins/tavok.ini"

# What the cache holds: downloads of generated pictures, and an archive.
tools/wine-run.sh "$bin/make-samples.exe" "$(win "$out/downloads")" >/dev/null
printf 'PK\x03\x04 not a picture' >"$out/downloads/archive.zip"
tools/qcx-wrap.py "http://example.com/photos/sample.png?size=large&v=2" \
  "$out/downloads/sample.png" "$out/cache/png-download.qcx"
tools/qcx-wrap.py "http://example.com/photos/sample.jpg" "$out/downloads/sample.jpg" \
  "$out/cache/jpeg-download.qcx"
tools/qcx-wrap.py "http://example.com/anim/sample.gif" "$out/downloads/sample.gif" \
  "$out/cache/gif-download.qcx"
tools/qcx-wrap.py "http://example.com/files/archive.zip" "$out/downloads/archive.zip" \
  "$out/cache/zip-download.qcx"

for cache in "$out"/cache/*.qcx; do
  name=$(basename "$cache" .qcx)
  echo "== cache/$name.qcx"
  tools/wine-run.sh "$bin/spi-render.exe" --out "$(win "$out/$name.bmp")" \
    "$(win "$out/plugins/tavok.spi")" "$(win "$cache")" | tr -d '\r' |
    sed -n '/^GetPictureInfo/,$p'
done
echo
echo "pictures: $(cd "$root" && ls out/demo/*.bmp | tr '\n' ' ')"
