#!/usr/bin/env bash
# Runs the setup program under Wine and exits with its exit code.
# usage: scripts/run.sh BUILD_DIR
#
# The Wine prefix is BUILD_DIR/run-prefix, made on first use; a second run
# therefore finds the first run's installation, as on a real machine.
# With a working X display (DISPLAY), the program is shown there for you to
# click through. Without one it runs on a private Xvfb, walked by
# setup-walk.exe down the default path (Install, Accept, OK in every message
# box): a screenshot of each screen goes to BUILD_DIR/screens/run-*.png, the
# started program is closed, and a summary of what was installed and
# registered is printed (RUN_TIMEOUT seconds at most, default 300).
set -uo pipefail
B=$(cd "${1:?usage: run.sh BUILD_DIR}" && pwd)
here=$(cd "$(dirname "$0")/.." && pwd)
setup_exe=$B/VeltranoxSetup.exe
walk_exe=$B/win/tests/win/e2e/setup-walk.exe
[ -f "$setup_exe" ] || { echo "run: no $setup_exe (make setup first)" >&2; exit 2; }

export WINEPREFIX=$B/run-prefix WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
if [ ! -f "$WINEPREFIX/.bench-ready" ]; then
  echo "run: creating the Wine prefix $WINEPREFIX (once, about 15 s)" >&2
  # The same preparation as the test prefixes: no host menu entries, the
  # prefix's Desktop and Start menu folders inside the prefix.
  bash "$here/tests/support/wine-template.sh" "$WINEPREFIX" >&2 || exit 2
fi
# A browser would have made the Quick Launch folder; the setup program
# makes no folder for its links.
for appdata in "$WINEPREFIX"/drive_c/users/*/AppData/Local; do
  case "$appdata" in */Public/*) continue ;; esac
  mkdir -p "$appdata/Microsoft/Internet Explorer/Quick Launch"
done

xvfb_pid=""
cleanup() {
  [ -n "$xvfb_pid" ] || return 0
  wineserver -k 2>/dev/null
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  # Your display: its window manager handles the windows.
  wine reg delete 'HKCU\Software\Wine\X11 Driver' /v Managed /f >/dev/null 2>&1
  cd "$B" && wine "$setup_exe"
  exit $?
fi

[ -f "$walk_exe" ] || cmake --build "$B/win" --target setup-walk >&2 || exit 2
log_dir=$B/run-log
shots=$log_dir/shots
screens=$B/screens
rm -rf "$shots"
mkdir -p "$shots" "$screens"
Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp >"$log_dir/xvfb.display" \
  2>"$log_dir/xvfb.log" &
xvfb_pid=$!
# Up to a minute: a bound for a hang, not for a busy machine.
deadline=$((SECONDS + 60))
while [ $SECONDS -lt $deadline ]; do
  grep -q . "$log_dir/xvfb.display" 2>/dev/null && break
  kill -0 "$xvfb_pid" 2>/dev/null || break
  sleep 0.01
done
n=$(head -1 "$log_dir/xvfb.display" 2>/dev/null)
[ -n "$n" ] || { echo "run: Xvfb did not start" >&2; cat "$log_dir/xvfb.log" >&2; exit 2; }
export DISPLAY=:$n
# No window manager on Xvfb: Wine must not wait for one.
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1

echo "run: no display; the robot walks the setup program on Xvfb $DISPLAY" >&2
cd "$B" || exit 2
wine "$walk_exe" --shots "$(winepath -w "$shots" 2>/dev/null)" \
  --timeout "${RUN_TIMEOUT:-300}" "$setup_exe"
rc=$?
echo "Uninstall list (Wine's uninstaller --list):"
wine uninstaller --list 2>/dev/null | tr -d '\r' | sed 's/^/  /'

# The screens, as PNG files.
rm -f "$screens"/run-*.png
for bmp in "$shots"/*.bmp; do
  [ -f "$bmp" ] || continue
  png=$screens/run-$(basename "${bmp%.bmp}").png
  convert "$bmp" "$png" 2>/dev/null || cp "$bmp" "${png%.png}.bmp"
done
echo "Screens: $(cd "$screens" && ls run-* 2>/dev/null | tr '\n' ' ')(in $screens)"
case $rc in
  0) echo "run: the setup program exited with 0" >&2 ;;
  124) echo "run: the setup program hung and was ended" >&2 ;;
  125) echo "run: the setup program could not be started" >&2 ;;
  *) echo "run: exit code $rc" >&2 ;;
esac
exit $rc
