#!/usr/bin/env bash
# Renders the settings dialog as a viewer on a Japanese system shows it, with
# a few decoders listed, under Xvfb, and saves it as docs/settings-dialog.png
# (or the PNG file named as $1). Uses a Wine prefix of its own in
# out/screenshot, where the dialog's "ＭＳ Ｐゴシック" and the caption bar are
# given the IPA gothic font in place of the Windows ones.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
png=$(realpath -m "${1:-docs/settings-dialog.png}")
tools/install-deps.sh --screenshot

export LC_ALL=ja_JP.UTF-8
source tools/common/xvfb.sh
run_in_xvfb 1024x768x24 "$0" "$png"

cmake --preset mingw >/dev/null
cmake --build --preset mingw --target tavok ifwic fx_shot_webp fx_shot_avif spi-configure \
  >/dev/null
bin=build/mingw/bin

prefix=$root/out/screenshot/wine
tools/wine-prefix.sh "$prefix"
export WINEPREFIX=$prefix WINEARCH=win32 WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v 'ＭＳ Ｐゴシック' /d IPAPGothic /f \
  >/dev/null 2>&1
wine reg add 'HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\SystemLink' \
  /v Tahoma /t REG_MULTI_SZ /d 'ipagp.ttf,IPAPGothic' /f >/dev/null 2>&1

# Wine draws the caption buttons with Marlett, which it finds only here.
cp /usr/share/wine/fonts/marlett.ttf "$prefix/drive_c/windows/Fonts/" 2>/dev/null || true

plugins=$prefix/drive_c/Viewer/plugins
rm -rf "$plugins"
mkdir -p "$plugins"
cp "$bin/tavok.spi" "$bin/ifwic.spi" "$plugins/"
cp "$bin/fx_shot_webp.spi" "$plugins/ifwebp.spi"
cp "$bin/fx_shot_avif.spi" "$plugins/ifavif.spi"
printf '[SPI]\r\nCount=3\r\nPath0=ifwebp.spi\r\nPath1=ifwic.spi\r\nPath2=ifavif.spi\r\n' \
  >"$plugins/tavok.ini"

wine "$bin/spi-configure.exe" 'C:\Viewer\plugins\tavok.spi' 1 >/dev/null 2>&1 &
host=$!
window=
for _ in $(seq 120); do
  window=$(xwininfo -root -tree | awk '/"設定": \(/{print $1; exit}')
  [[ -n $window ]] && break
  sleep 0.5
done
if [[ -z $window ]]; then
  echo "screenshot-dialog: the settings dialog did not appear" >&2
  kill "$host"
  exit 1
fi
sleep 2  # let the list paint
mkdir -p "$(dirname "$png")"
import -window "$window" "$png"
kill "$host"
wait "$host" 2>/dev/null || true
wineserver -k >/dev/null 2>&1 || true
echo "saved $png"
