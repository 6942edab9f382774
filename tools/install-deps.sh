#!/usr/bin/env bash
# Installs what building and testing tavok needs on a Debian machine:
# the MinGW-w64 cross compilers and Wine for 32-bit and 64-bit Windows, Xvfb,
# CMake, GoogleTest sources, the ja_JP.UTF-8 locale and Japanese fonts, and
# clang with its sanitizer and libFuzzer runtimes for the fuzz target. Does
# nothing when all is present.
set -euo pipefail

need=()

# The address of the Debian archive that the machine's own apt sources use for
# suite $1, in either source format: the backports come from the same place.
debian_mirror() {
  local suite=$1 file
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [[ -f $file ]] || continue
    sed -E 's/\[[^]]*\]//' "$file" | awk -v suite="$suite" '$1 == "deb" && $3 == suite { print $2 }'
  done
  for file in /etc/apt/sources.list.d/*.sources; do
    [[ -f $file ]] || continue
    awk -v suite="$suite" '
      function flush() { if (deb && served && enabled && uri != "") print uri; deb = served = 0; enabled = 1; uri = "" }
      BEGIN { enabled = 1 }
      /^[ \t]*$/ { flush(); next }
      /^Types:/ { for (i = 2; i <= NF; i++) if ($i == "deb") deb = 1 }
      /^URIs:/ { uri = $2 }
      /^Suites:/ { for (i = 2; i <= NF; i++) if ($i == suite) served = 1 }
      /^Enabled:[ \t]*no/ { enabled = 0 }
      END { flush() }' "$file"
  done | awk 'NR == 1'
}
# A mirror that is being synced answers some index files with the wrong size,
# and apt-get update then exits non-zero although the indexes it did get may
# hold every package needed: retry a few times, then go on with what there is.
# The suites whose indexes failed are remembered in $unsynced.
unsynced=()
apt_update() {
  local attempt log
  log=$(mktemp)
  for attempt in 1 2 3 4; do
    if apt-get update -qq 2>"$log"; then
      unsynced=()
      rm -f "$log"
      return 0
    fi
    mapfile -t unsynced < <(grep -oE 'Failed to fetch [^ ]*/dists/[^/ ]+' "$log" | sed 's|.*/dists/||' | sort -u)
    ((attempt < 4)) && sleep $((attempt * 5))
  done
  cat "$log" >&2
  rm -f "$log"
  echo "install-deps: warning: apt-get update failed 4 times (a mirror may be mid-sync);" \
    "going on with the package lists there are" >&2
}
# Installs packages $@ (from the release named by $release, when set), naming
# them on failure. A suite that has an index for one architecture and not the
# other offers versions that multiarch packages (wine32:i386 beside wine64)
# cannot match, so the install is tried once more with those suites held back
# below the rest.
apt_install() {
  local pin=/etc/apt/preferences.d/tavok-unsynced suite
  apt-get install -y -qq --no-install-recommends ${release:+-t "$release"} "$@" >/dev/null && return 0
  if ((${#unsynced[@]})); then
    echo "install-deps: warning: retrying without the newer versions of ${unsynced[*]}" >&2
    for suite in "${unsynced[@]}"; do
      printf 'Package: *\nPin: release n=%s\nPin-Priority: 90\n\n' "$suite"
    done >"$pin"
    local status=0
    apt-get install -y -qq --no-install-recommends ${release:+-t "$release"} "$@" >/dev/null || status=$?
    rm -f "$pin"
    ((status == 0)) && return 0
  fi
  echo "install-deps: could not install: $*" >&2
  echo "install-deps: a package mirror may be mid-sync; try again in a while" >&2
  exit 1
}
have_cmd() { command -v "$1" >/dev/null 2>&1; }
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }

have_cmd i686-w64-mingw32-g++-posix || need+=(g++-mingw-w64-i686 binutils-mingw-w64-i686)
have_cmd x86_64-w64-mingw32-g++-posix || need+=(g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64)
have_cmd cmake || need+=(cmake)
have_cmd xvfb-run || need+=(xvfb xauth)
have_pkg googletest || need+=(googletest)
have_pkg locales || need+=(locales)
have_pkg fonts-ipafont-gothic || need+=(fonts-ipafont-gothic)
have_cmd python3 || need+=(python3)
have_pkg wine32:i386 || need+=(wine wine32:i386)
have_pkg wine64 || need+=(wine64)
have_cmd clang++ || need+=(clang)
have_pkg libclang-rt-dev || need+=(libclang-rt-dev)
# tools/screenshot-dialog.sh also captures an X window.
if [[ ${1:-} == --screenshot ]]; then
  have_cmd import || need+=(imagemagick)
  have_cmd xwininfo || need+=(x11-utils)
  # Wine draws the caption buttons with its Marlett font.
  have_pkg fonts-wine || need+=(fonts-wine)
fi

if ((${#need[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "install-deps: missing packages (${need[*]}); run as root" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
  fi
  apt_update
  apt_install "${need[@]}"
fi

# The cross compilers must use the posix thread model, which GoogleTest needs.
for compiler in i686-w64-mingw32-g++-posix x86_64-w64-mingw32-g++-posix; do
  if ! "$compiler" --version >/dev/null 2>&1; then
    echo "install-deps: $compiler missing after install" >&2
    exit 1
  fi
done

# Wine runs 32-bit Linux binaries. Where the kernel has 32-bit emulation
# switched off (ia32_emulation=off), they run through qemu's user-mode
# emulator instead, registered with binfmt_misc. qemu before 8.1 mishandles
# MAP_FIXED_NOREPLACE, which makes every Wine process start take minutes, so
# the emulator comes from bookworm-backports.
if ! /lib/ld-linux.so.2 --help >/dev/null 2>&1; then
  if [[ $(id -u) -ne 0 ]]; then
    echo "install-deps: 32-bit programs cannot run here; run as root to set up qemu" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  if ! qemu-i386-static --version 2>/dev/null | grep -qE 'version ([89]|[1-9][0-9])\.'; then
    codename=$(. /etc/os-release && echo "$VERSION_CODENAME")
    if [[ $codename == bookworm ]]; then
      mirror=$(debian_mirror "$codename")
      if [[ -z $mirror ]]; then
        echo "install-deps: no configured apt source serves $codename" >&2
        exit 1
      fi
      echo "deb $mirror $codename-backports main" >/etc/apt/sources.list.d/tavok-backports.list
      apt_update
      release=bookworm-backports apt_install qemu-user-static
    else
      apt_install qemu-user-static
    fi
  fi
  mountpoint -q /proc/sys/fs/binfmt_misc || mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  [[ -e /proc/sys/fs/binfmt_misc/qemu-i386 ]] && echo -1 >/proc/sys/fs/binfmt_misc/qemu-i386
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386-static:F' \
    >/proc/sys/fs/binfmt_misc/register
  if ! /lib/ld-linux.so.2 --help >/dev/null 2>&1; then
    echo "install-deps: 32-bit programs still cannot run" >&2
    exit 1
  fi
fi

# Without a generated ja_JP.UTF-8 locale Wine reports code page 932 but cannot
# map non-ASCII file names onto the Linux file system.
if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf-\?8$'; then
  if [[ $(id -u) -ne 0 ]]; then
    echo "install-deps: locale ja_JP.UTF-8 missing; run as root" >&2
    exit 1
  fi
  sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
  grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
  locale-gen >/dev/null
fi
