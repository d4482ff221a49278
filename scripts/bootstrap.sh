#!/usr/bin/env bash
# Installs everything the build, `make run` and the tests need on a fresh
# Debian 12 machine. Quick (a few dpkg queries) when all is already there.
set -euo pipefail

PACKAGES=(
  g++-mingw-w64-i686 wine wine32 wine64 xvfb xauth x11-utils
  cmake make g++ googletest
  imagemagick mscompress libmspack-dev liblnk-utils zlib1g-dev
  clang libclang-rt-14-dev nsis python3
  osslsigncode openssl
)

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  missing=("${PACKAGES[@]}")
else
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
fi
[ ${#missing[@]} -eq 0 ] && exit 0

SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
echo "bootstrap: installing ${missing[*]}" >&2
$SUDO dpkg --add-architecture i386
$SUDO apt-get update -qq
DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
