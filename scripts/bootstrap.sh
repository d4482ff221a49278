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

# The Debian mirror is now and then caught in the middle of a sync: one index
# file does not match what the mirror announced, `apt-get update` exits 100,
# and the same index can stay broken for the better part of an hour. So the
# update is tried a few times, and the install goes ahead with whatever
# indexes there are: the install is what tells whether our packages are there.
UPDATE_ATTEMPTS=3
PAUSE=${BOOTSTRAP_RETRY_PAUSE:-30}   # seconds between attempts

say() { printf 'bootstrap: %s\n' "$@" >&2; }

# Runs apt with its progress on the terminal and a copy in the log $1.
apt_logged() {
  local log=$1; shift
  $SUDO env DEBIAN_FRONTEND=noninteractive apt-get -q "$@" 2>&1 | tee "$log" >&2
}

# Says in a few lines why the install failed and what to do about it.
explain_failure() {
  local status=$1 update_log=$2 install_log=$3 i386_index mirror=""
  echo >&2
  say "the packages could not be installed (apt-get exited $status)."
  if grep -q 'dpkg was interrupted' "$install_log"; then
    say "an earlier installation was interrupted half-way; finish it with" \
        "  ${SUDO:+sudo }dpkg --configure -a" \
        "and run the same command again."
    return
  fi
  i386_index=$(grep -oE '^[EW]: Failed to fetch [^ ]*/binary-i386/[^ ]*' "$update_log" |
               sed -E 's/^[EW]: Failed to fetch /  /' | sort -u || true)
  grep -qE 'unexpected size|Hash Sum mismatch|Mirror sync in progress' \
    "$update_log" "$install_log" && mirror=yes
  if [ -n "$mirror" ]; then
    say "the package mirror is being updated right now: files it serves do not" \
        "match its own index, so apt could not fetch everything."
  else
    say "apt said:"
    grep -h '^E:' "$update_log" "$install_log" | sed 's/^/bootstrap:   /' >&2 ||
      say "  no error line; its output is above."
  fi
  if [ -n "$i386_index" ] && grep -q 'held broken packages' "$install_log"; then
    say "wine32 needs the i386 builds of libraries this machine has for amd64, in" \
        "exactly the installed amd64 versions. Those versions are listed in the" \
        "i386 index that could not be fetched:"
    sed 's/^/bootstrap: /' <<<"$i386_index" >&2
    say "so apt found no matching i386 packages (its \"held broken packages\")."
  fi
  if [ -n "$mirror" ]; then
    say "This passes once the mirror has finished (often within the hour): run" \
        "the same command again later."
  fi
}

if [ ${#missing[@]} -ne 0 ]; then
  say "installing ${missing[*]}"
  logs=$(mktemp -d)
  trap 'rm -rf "$logs"' EXIT
  $SUDO dpkg --add-architecture i386
  for attempt in $(seq 1 $UPDATE_ATTEMPTS); do
    say "apt-get update, attempt $attempt of $UPDATE_ATTEMPTS"
    apt_logged "$logs/update" update && break
    if [ "$attempt" -lt $UPDATE_ATTEMPTS ]; then
      say "apt-get update failed; trying again in $PAUSE s"
      sleep "$PAUSE"
    else
      say "apt-get update failed $UPDATE_ATTEMPTS times; installing from the package lists there are"
    fi
  done
  say "apt-get install"
  status=0
  apt_logged "$logs/install" install -y --no-install-recommends "${missing[@]}" || status=$?
  if [ $status -ne 0 ]; then
    explain_failure $status "$logs/update" "$logs/install"
    exit $status
  fi
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
