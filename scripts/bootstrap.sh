#!/usr/bin/env bash
# Installs everything the build, `make run` and the tests need on a fresh
# Debian 12 machine. Quick (a few dpkg queries) when all is already there.
set -euo pipefail

PACKAGES=(
  g++-mingw-w64-i686 wine wine32 wine64 xvfb xauth x11-utils
  cmake make g++ googletest
  imagemagick mscompress libmspack-dev liblnk-utils zlib1g-dev
  clang libclang-rt-14-dev nsis python3 locales
  osslsigncode openssl
  # Metric-compatible with Arial, Times New Roman and Courier New, as most
  # desktop machines have them: Wine draws those faces with them, and the
  # screens in docs/screens are made with them.
  fonts-liberation
  # The report server's tests run it under gunicorn and render its summary
  # headless in chromium.
  python3-gunicorn chromium
)

missing=()
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  missing=("${PACKAGES[@]}")
else
  for p in "${PACKAGES[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
  done
fi
SUDO=""
[ "$(id -u)" -ne 0 ] && SUDO=sudo
if [ ${#missing[@]} -ne 0 ]; then
  echo "bootstrap: installing ${missing[*]}" >&2
  $SUDO dpkg --add-architecture i386
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# Wine takes the ANSI code page from LANG: the tests of double-byte paths
# run with ja_JP.UTF-8 (code page 932) and zh_TW.UTF-8 (950), which must
# exist as locales.
LOCALES=(ja_JP.UTF-8 zh_TW.UTF-8)
absent=()
available=$(locale -a 2>/dev/null | tr 'A-Z' 'a-z' | sed 's/utf-8/utf8/')
for l in "${LOCALES[@]}"; do
  want=$(tr 'A-Z' 'a-z' <<<"$l" | sed 's/utf-8/utf8/')
  grep -qx "$want" <<<"$available" || absent+=("$l")
done
if [ ${#absent[@]} -ne 0 ]; then
  echo "bootstrap: making locales ${absent[*]}" >&2
  for l in "${absent[@]}"; do
    grep -qx "$l UTF-8" /etc/locale.gen 2>/dev/null ||
      echo "$l UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
  done
  $SUDO locale-gen >/dev/null
fi
