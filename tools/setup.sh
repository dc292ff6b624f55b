#!/usr/bin/env bash
# Installs every Debian package the build and the tests need, and makes sure that 32-bit
# x86 programs can run. Safe to run again: when everything is present it says nothing and
# returns at once.
set -euo pipefail

packages=(
  cmake ninja-build g++ make
  g++-mingw-w64-x86-64-posix   # the 64-bit Windows test build (std::mutex for GoogleTest)
  g++-mingw-w64-i686-posix     # the 32-bit Windows test build, same reason
  g++-mingw-w64-i686-win32     # the shipping 32-bit build (no posix-threads runtime)
  binutils-mingw-w64-i686 binutils-mingw-w64-x86-64
  googletest
  clang-14 libclang-rt-14-dev   # the fuzz targets (libFuzzer)
  clang-format-14   # the layout check of tools/check-format
  wine wine64
  wine32:i386   # 32-bit Windows programs: the shipping files themselves
  xvfb xauth x11-utils
  xdotool   # real key presses and clicks through the X server for the keyboard test
  fonts-wqy-microhei   # Chinese glyphs for the demonstration's screenshots
  locales   # the locale sources from which the tests generate zh_TW, zh_CN and ru_RU
  python3   # the scan report checks (a python3 elsewhere in PATH is not relied on)
)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"
export DEBIAN_FRONTEND=noninteractive

installed() {
  dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'
}

missing=()
for p in "${packages[@]}"; do
  installed "$p" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  # wine32 comes from the i386 half of the archive; without that architecture apt cannot see it.
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $sudo dpkg --add-architecture i386
  fi
  $sudo apt-get update -qq
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

"$(dirname "$0")/setup-32bit.sh"
