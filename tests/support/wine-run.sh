#!/usr/bin/env bash
# Runs one Windows program under Wine in a fresh prefix of its own and exits
# with the program's exit code.
#
# usage: wine-run.sh --template DIR --work DIR [options] -- EXE [ARGS...]
#   --template DIR     template prefix (made by wine-template.sh)
#   --work DIR         this run's folder; emptied first. Holds prefix/,
#                      home/ and drive-<x>/ folders. EXE and its siblings
#                      are copied to C:\tests (prefix/drive_c/tests), so
#                      they run from the fixed drive C: whatever drives the
#                      test removes (even Z:, the Unix root).
#   --timeout S        the program is killed after S seconds (default 120)
#   --drive X:TYPE     drive X is a fresh folder of type floppy, network,
#                      cdrom, ramdisk or hd; TYPE none removes the letter;
#                      X:hd:SIZE mounts a tmpfs of SIZE (e.g. 1536k) there,
#                      a disk that really fills up (root only), unmounted
#                      when the run ends, however it ends
#   --env NAME=VALUE   the Windows program sees NAME=VALUE (see below)
#   --lang LOCALE      Wine runs with LANG=LOCALE (and LC_ALL): it takes the
#                      ANSI code page from it, e.g. ja_JP.UTF-8 gives 932 and
#                      zh_TW.UTF-8 gives 950 (the locale must exist; see
#                      scripts/bootstrap.sh)
#   --sibling FILE     FILE is copied next to EXE (helpers it starts)
#   --pre CMDLINE      a Windows command line run (wine CMDLINE, from C:\tests)
#                      before EXE, e.g. "reg add HKCU\\Software\\X /f";
#                      the run fails when it fails
#   --lock NAME        a resource of the whole machine that the run needs
#                      alone (http_port_80: port 80 of the loopback): the
#                      run first takes the lock file /tmp/veltranox-test-NAME.lock,
#                      waiting up to LOCK_WAIT seconds (default 900) while
#                      another run, of any build tree, holds it
#   (each option also takes the --option=VALUE form; empty arguments are
#   skipped, which lets cmake generator expressions drop an option)
#
# --env: Wine takes some variables (TEMP, TMP, PATH, ...) from the prefix's
# registry rather than from the Unix environment, so the value travels as
# WINETEST_ENV_<NAME>; the test main and robot-driver.exe set NAME from it
# before anything else runs (apply_test_environment in benchutil.h).
#
# Environment: WINE_TEST_XVFB=1 uses a private Xvfb even when DISPLAY is
# set; WINE_TEST_KEEP=1 keeps the run's folder after a pass (it is always
# kept after a failure); WINEDEBUG is passed on (default -all).
set -uo pipefail

template="" work="" timeout=120 lang=""
drives=() envs=() siblings=() pres=() locks=()
while [ $# -gt 0 ]; do
  case "$1" in
    --template) template=$2; shift 2 ;;
    --work) work=$2; shift 2 ;;
    --timeout) timeout=$2; shift 2 ;;
    --drive) drives+=("$2"); shift 2 ;;
    --env) envs+=("$2"); shift 2 ;;
    --sibling) siblings+=("$2"); shift 2 ;;
    --pre) pres+=("$2"); shift 2 ;;
    --lang) lang=$2; shift 2 ;;
    --lock) locks+=("$2"); shift 2 ;;
    --drive=*) drives+=("${1#*=}"); shift ;;
    --env=*) envs+=("${1#*=}"); shift ;;
    --sibling=*) siblings+=("${1#*=}"); shift ;;
    --pre=*) pres+=("${1#*=}"); shift ;;
    --lang=*) lang=${1#*=}; shift ;;
    --lock=*) locks+=("${1#*=}"); shift ;;
    "") shift ;;
    --) shift; break ;;
    *) echo "wine-run: unknown option $1" >&2; exit 2 ;;
  esac
done
[ $# -ge 1 ] && [ -n "$template" ] && [ -n "$work" ] || {
  echo "usage: wine-run.sh --template DIR --work DIR [options] -- EXE [ARGS...]" >&2; exit 2; }
exe=$1; shift
[ -f "$template/.bench-ready" ] || { echo "wine-run: no template prefix at $template" >&2; exit 2; }
[ -f "$exe" ] || { echo "wine-run: no program $exe" >&2; exit 2; }

ms() { date +%s%N | cut -c1-13; }

# Machine-wide resources: two test runs (in two build trees, say) wait for
# each other here instead of colliding. The lock goes with this script's
# file descriptor, and with the processes of the run that inherit it.
for l in ${locks[@]+"${locks[@]}"}; do
  case "$l" in *[!A-Za-z0-9_-]*|"") echo "wine-run: bad lock name $l" >&2; exit 2 ;; esac
  lock_file=/tmp/veltranox-test-$l.lock
  exec {lock_fd}>>"$lock_file" || { echo "wine-run: cannot open $lock_file" >&2; exit 2; }
  chmod a+rw "$lock_file" 2>/dev/null # another user's runs wait on it too
  if ! flock -n "$lock_fd"; then
    echo "wine-run: waiting for $l (held by another test run)" >&2
    flock -w "${LOCK_WAIT:-900}" "$lock_fd" ||
      { echo "wine-run: $l still held after ${LOCK_WAIT:-900} s" >&2; exit 2; }
  fi
done
t0=$(ms)

# A fresh prefix: the large PE images of system32/syswow64 (read only, in
# practice) are hard links into the template; everything else is a real
# copy, so what a test writes never reaches the template.
rm -rf "$work" "$work".done.*
mkdir -p "$work/home"
prefix=$work/prefix
images='.*\.\(dll\|exe\|drv\|sys\|ocx\|cpl\|acm\|nls\|tlb\|vxd\|ds\|ax\|ttf\)'
cp -al "$template" "$prefix" || exit 2
# (tar c reports "file changed" with status 1: linking changed the ctime.)
(cd "$template" && find . -type f ! -iregex "$images" -print0 |
   tar --warning=no-file-changed --null -T - -cf -) |
  (cd "$prefix" && tar --unlink-first -xf -)
[ "${PIPESTATUS[1]}" -eq 0 ] || { echo "wine-run: cannot copy $template" >&2; exit 2; }
t_copy=$(ms)

# Drives. C: is declared a hard disk so that it reads as fixed even when
# the build folder sits on tmpfs (which Wine reports as a RAM disk).
{
  printf '\n[Software\\\\Wine\\\\Drives]\n"c:"="hd"\n'
  for d in ${drives[@]+"${drives[@]}"}; do
    letter=$(tr 'A-Z' 'a-z' <<<"${d%%:*}"); type=${d#*:}; type=${type%%:*}
    case "$type" in
      none) ;;
      floppy|network|cdrom|ramdisk|hd) printf '"%s:"="%s"\n' "$letter" "$type" ;;
      *) echo "wine-run: bad drive type in $d" >&2; exit 2 ;;
    esac
  done
} >>"$prefix/system.reg" || exit 2
mounts=()
unmount_drives() {
  # Lazily: a Wine process that still holds a file there cannot stop it.
  for m in ${mounts[@]+"${mounts[@]}"}; do umount -l "$m" 2>/dev/null; done
  mounts=()
}
trap unmount_drives EXIT
for d in ${drives[@]+"${drives[@]}"}; do
  letter=$(tr 'A-Z' 'a-z' <<<"${d%%:*}"); type=${d#*:}; size=""
  [ "$type" != "${type#*:}" ] && size=${type#*:} && type=${type%%:*}
  rm -f "$prefix/dosdevices/$letter:"
  if [ "$type" != none ]; then
    mkdir -p "$work/drive-$letter"
    if [ -n "$size" ]; then
      mount -t tmpfs -o "size=$size" tmpfs "$work/drive-$letter" ||
        { echo "wine-run: cannot mount a tmpfs of $size for $letter: (root needed)" >&2; exit 2; }
      mounts+=("$work/drive-$letter")
    fi
    ln -s "$work/drive-$letter" "$prefix/dosdevices/$letter:"
  fi
done

for e in ${envs[@]+"${envs[@]}"}; do
  export "WINETEST_ENV_${e%%=*}=${e#*=}"
done
bin=$prefix/drive_c/tests
mkdir -p "$bin" || exit 2
cp "$exe" "$bin/" || exit 2
for s in ${siblings[@]+"${siblings[@]}"}; do cp "$s" "$bin/" || exit 2; done

xvfb_pid=""
cleanup() {
  WINEPREFIX=$prefix wineserver -k 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  unmount_drives
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -z "${DISPLAY:-}" ] || [ "${WINE_TEST_XVFB:-}" = 1 ]; then
  # -displayfd picks a free display number, so parallel runs never clash.
  Xvfb -displayfd 1 -screen 0 1024x768x24 -nolisten tcp \
    >"$work/xvfb.display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  # Up to a minute: a bound for a hang, not for a busy machine.
  deadline=$((SECONDS + 60))
  while [ $SECONDS -lt $deadline ]; do
    grep -q . "$work/xvfb.display" 2>/dev/null && break
    kill -0 "$xvfb_pid" 2>/dev/null || break
    sleep 0.01
  done
  n=$(head -1 "$work/xvfb.display" 2>/dev/null)
  [ -n "$n" ] || { echo "wine-run: Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 2; }
  export DISPLAY=:$n
fi

export WINEPREFIX=$prefix HOME=$work/home WINEDEBUG=${WINEDEBUG:--all}
if [ -n "$lang" ]; then
  locale -a 2>/dev/null | grep -qix "$(sed 's/UTF-8$/utf8/I' <<<"$lang")" ||
    { echo "wine-run: no locale $lang (run scripts/bootstrap.sh)" >&2; exit 2; }
  export LANG=$lang LC_ALL=$lang
fi
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="
export GTEST_COLOR=${GTEST_COLOR:-no}
wineserver -p || exit 2
t_start=$(ms)

cd "$bin" || exit 2
for p in ${pres[@]+"${pres[@]}"}; do
  # shellcheck disable=SC2086
  timeout -k 5 "$timeout" wine $p || { echo "wine-run: '$p' failed" >&2; exit 2; }
done
wine "$bin/$(basename "$exe")" "$@" &
program=$!
sleep "$timeout" &
watchdog=$!
finished=""
wait -n -p finished "$program" "$watchdog"
rc=$?
if [ "$finished" != "$program" ]; then
  # Timed out: keep a picture of the screen while the windows are still up.
  echo "wine-run: $(basename "$exe") killed after $timeout s" >&2
  import -display "$DISPLAY" -window root "$work/timeout.png" 2>/dev/null &&
    echo "wine-run: screen at timeout: $work/timeout.png" >&2
  kill "$program" 2>/dev/null
  sleep 1
  kill -9 "$program" 2>/dev/null
  wait "$program" 2>/dev/null
  rc=124
else
  kill "$watchdog" 2>/dev/null
  wait "$watchdog" 2>/dev/null
fi
t_end=$(ms)
trap - EXIT
if [ $rc -eq 0 ] && [ "${WINE_TEST_KEEP:-}" != 1 ]; then
  # A pass needs nothing from the prefix: stopping Wine (which takes most
  # of a second) and removing the folder go on after this script returns.
  # The folder moves aside first, so a new run of the same test is safe.
  unmount_drives
  cd / && mv "$work" "$work.done.$$" && prefix=$work.done.$$/prefix
  (cleanup; rm -rf "$work.done.$$") </dev/null >/dev/null 2>&1 &
  disown
  t_stop=$(ms)
  kept=""
else
  cleanup
  t_stop=$(ms)
  kept="wine-run: run folder kept: $work"
fi
echo "wine-run: copy $((t_copy - t0)) ms, start $((t_start - t_copy)) ms," \
  "run $((t_end - t_start)) ms, stop $((t_stop - t_end)) ms, exit $rc" >&2
[ -z "$kept" ] || echo "$kept" >&2
exit $rc
