#!/usr/bin/env bash
# The main job: builds everything, writes sample cache files (a PNG fetched
# from a URL with a query string, a JPEG, a GIF, the PNG again under a file
# name that the ANSI code page cannot spell, under a URL without an extension
# and under a .jpg URL, and a .zip download that no decoder takes), and for
# each build, tavok.spi (32-bit) and tavok.sph (64-bit), a plug-in folder set
# up as the release archive sets it up: both example decoders and the
# release's tavok.default.ini. Each cache file is rendered through tavok with spi-render under
# Wine into out/demo/<build>/ as .bmp, by the Unicode entry points and by the
# ANSI ones, and each picture is compared with what the example decoder alone
# makes of the download.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
tools/install-deps.sh
source tools/common/xvfb.sh
run_in_xvfb 1280x1024x24 "$0" "$@"
tools/build.sh >/dev/null
# Code page 1252, with file names mapped to the Linux side in UTF-8.
export LC_ALL=C.UTF-8

out=$root/out/demo
rm -rf "$out"
mkdir -p "$out/downloads" "$out/cache"
foreign='猫の写真 😺.qcx'

# What the cache holds: downloads of generated pictures, and an archive.
tools/wine-prefix.sh build/mingw/wine win32
WINEPREFIX=$root/build/mingw/wine tools/wine-run.sh build/mingw/bin/make-samples.exe \
  "$(WINEPREFIX=$root/build/mingw/wine winepath -w "$out/downloads")" >/dev/null
printf 'PK\x03\x04 not a picture' >"$out/downloads/archive.zip"
tools/qcx-wrap.py "http://example.com/photos/sample.png?size=large&v=2" \
  "$out/downloads/sample.png" "$out/cache/png-download.qcx"
tools/qcx-wrap.py "http://example.com/photos/sample.jpg" "$out/downloads/sample.jpg" \
  "$out/cache/jpeg-download.qcx"
tools/qcx-wrap.py "http://example.com/anim/sample.gif" "$out/downloads/sample.gif" \
  "$out/cache/gif-download.qcx"
tools/qcx-wrap.py "http://example.com/photos/sample.png" "$out/downloads/sample.png" \
  "$out/cache/$foreign"
tools/qcx-wrap.py "http://example.com/files/archive.zip" "$out/downloads/archive.zip" \
  "$out/cache/zip-download.qcx"
# A URL without an extension, and a .jpg URL that the server answered with
# PNG bytes: the payload's own bytes choose the decoder.
tools/qcx-wrap.py "http://example.com/avatar/1234" "$out/downloads/sample.png" \
  "$out/cache/avatar-download.qcx"
tools/qcx-wrap.py "https://cdn.example.com/abc123.jpg?width=640&auto=webp" \
  "$out/downloads/sample.png" "$out/cache/lying-download.qcx"
download_of() {
  case $1 in
    png-download.qcx | avatar-download.qcx | lying-download.qcx | "$foreign") echo sample.png ;;
    jpeg-download.qcx) echo sample.jpg ;;
    gif-download.qcx) echo sample.gif ;;
    *) echo ;;
  esac
}

for build in mingw:win32:spi mingw64:win64:sph; do
  IFS=: read -r preset arch ext <<<"$build"
  bin=$root/build/$preset/bin
  tools/wine-prefix.sh "build/$preset/wine" "$arch"
  export WINEPREFIX=$root/build/$preset/wine WINEARCH=$arch
  win() { winepath -w "$1"; }
  render() { tools/wine-run.sh "$bin/spi-render.exe" "$@" | tr -d '\r'; }

  # A viewer's plug-in folder as a new install has it: tavok, both example
  # decoders, and the release's defaults with no tavok.ini.
  folder=$out/$ext
  mkdir -p "$folder/plugins"
  cp "$bin/tavok.$ext" build/mingw/bin/ifwic.spi build/mingw64/bin/ifwic.sph "$folder/plugins/"
  cp docs/release/tavok.default.ini "$folder/plugins/"

  echo "#### tavok.$ext ($arch)"
  for cache in "$out"/cache/*.qcx; do
    name=$(basename "$cache" .qcx)
    echo "== cache/$name.qcx"
    render --out "$(win "$folder/$name.bmp")" "$(win "$folder/plugins/tavok.$ext")" \
      "$(win "$cache")" | sed -n '/^entry points/p;/^GetPictureInfo/,$p'
    # The ANSI entry points cannot open a file the code page cannot spell:
    # it goes to them in memory.
    ansi=(--ansi)
    [[ $name.qcx == "$foreign" ]] && ansi+=(--memory)
    render "${ansi[@]}" --out "$(win "$folder/$name.ansi.bmp")" \
      "$(win "$folder/plugins/tavok.$ext")" "$(win "$cache")" >/dev/null
    cmp -s "$folder/$name.bmp" "$folder/$name.ansi.bmp" ||
      { echo "demo: the ANSI entry points gave another picture for $name" >&2; exit 1; }
    download=$(download_of "$name.qcx")
    if [[ -n $download ]]; then
      render --out "$(win "$folder/$name.direct.bmp")" "$(win "$folder/plugins/ifwic.$ext")" \
        "$(win "$out/downloads/$download")" >/dev/null
      cmp -s "$folder/$name.bmp" "$folder/$name.direct.bmp" ||
        { echo "demo: $name differs from ifwic.$ext alone" >&2; exit 1; }
      echo "   identical to ifwic.$ext alone, by the W and by the ANSI entry points"
    fi
  done
  echo
done
echo "pictures: $(cd "$out" && ls spi/*.bmp sph/*.bmp | grep -v '\.ansi\.\|\.direct\.' | tr '\n' ' ')"
