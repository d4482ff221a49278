#!/usr/bin/env bash
# Creates the template Wine prefix that every Windows-side test copies.
# Usage: wine-template.sh TEMPLATE_DIR
# Quick when the template exists and was made by this script and this Wine.
set -euo pipefail
T=${1:?template dir}
here=$(cd "$(dirname "$0")" && pwd)
stamp="$(wine --version 2>/dev/null) $(md5sum <"$0" | cut -c1-12)"

mkdir -p "$(dirname "$T")"
exec 9>"$T.lock"
flock 9
if [ -f "$T/.bench-ready" ] && [ "$(cat "$T/.bench-ready")" = "$stamp" ]; then
  echo "template prefix up to date: $T"
  exit 0
fi

start=$(date +%s%N)
rm -rf "$T" "$T.home"
mkdir -p "$T" "$T.home"
export WINEPREFIX=$T WINEDEBUG=-all HOME=$T.home
# No Mono/Gecko installer prompts, no menu entries on the host.
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
unset DISPLAY
wineboot -i >"$T.log" 2>&1
# Settings every test prefix starts with:
# - no .desktop files for links created in the Start menu;
# - no crash dialog: a crash prints a backtrace and the process ends, so a
#   test fails instead of hanging on a dialog nobody answers;
# - Mono and Gecko stay off;
wine reg add 'HKCU\Software\Wine\DllOverrides' /v winemenubuilder.exe /d '' /f >>"$T.log" 2>&1
wine reg add 'HKCU\Software\Wine\DllOverrides' /v mscoree /d '' /f >>"$T.log" 2>&1
wine reg add 'HKCU\Software\Wine\DllOverrides' /v mshtml /d '' /f >>"$T.log" 2>&1
wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >>"$T.log" 2>&1
# Xvfb has no window manager: windows that Wine lets a window manager handle
# wait 2 s for it whenever they are hidden (every message box, every dialog).
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >>"$T.log" 2>&1
wineserver -k || true
wineserver -w || true

# Wine links Desktop, Documents, ... to the user's home folder. A test that
# writes a shortcut there must stay inside its own prefix: make them real
# folders.
find "$T/drive_c/users" -type l | while read -r link; do
  rm -f "$link"
  mkdir -p "$link"
done
rm -rf "$T.home"

echo "$stamp" >"$T/.bench-ready"
echo "template prefix created in $(( ($(date +%s%N) - start) / 1000000 )) ms: $T"
