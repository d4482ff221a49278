#!/usr/bin/env bash
# The bootstrap against a package mirror in the middle of a sync, with
# stand-ins for apt-get, dpkg, dpkg-query, sudo and id first on the PATH:
# nothing reaches the real apt, and sudo runs nothing but the stand-ins.
#   bootstrap_test.sh scripts/bootstrap.sh
set -uo pipefail
BOOTSTRAP=$(realpath "$1")
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT
mkdir "$T/bin"
cd "$T/bin"

# Not root, so that every privileged step goes through the stand-in sudo,
# which, like the real one, clears the environment, and refuses all but apt
# and dpkg (a write to /etc/locale.gen or locale-gen would show up here).
printf '#!/bin/sh\necho 1000\n' > id
cat > sudo <<'S'
#!/bin/sh
case "$1" in env|apt-get|dpkg) ;; *) echo "sudo $*" >> "$(dirname "$0")/refused"; exit 1 ;; esac
exec env -i PATH="$PATH" "$@"
S
printf '#!/bin/sh\nexit 1\n' > dpkg-query        # nothing installed
printf '#!/bin/sh\nexit 0\n' > dpkg              # no foreign architecture yet
printf '#!/bin/sh\nprintf "C\\nja_JP.utf8\\nzh_TW.utf8\\n"\n' > locale
cat > apt-get <<'S'
#!/bin/bash
# $here/case: how many updates fail (or "all"), and how the install ends.
here=$(dirname "$0"); read -r fail install < "$here/case"
url=http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz
for a; do case $a in update|install) cmd=$a ;; esac; done
if [ "$cmd" = update ]; then
  n=$(( $(cat "$here/updates" 2>/dev/null || echo 0) + 1 )); echo $n > "$here/updates"
  if [ "$fail" = all ] || [ "$n" -le "$fail" ]; then
    echo "E: Failed to fetch $url  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 203.0.113.80 80]"
    echo "E: Some index files failed to download. They have been ignored, or old ones used instead."
    exit 100
  fi
  echo "Reading package lists..."; exit 0
fi
echo "DEBIAN_FRONTEND=${DEBIAN_FRONTEND:-}" > "$here/frontend"
echo "Reading package lists..."
case $install in
  ok) echo "Setting up wine32:i386 (8.0~repack-4) ..."; exit 0 ;;
  held) cat <<'A'
Some packages could not be installed. This may mean that you have
requested an impossible situation or if you are using the unstable
The following packages have unmet dependencies:
 libelf1:i386 : Depends: zlib1g:i386 (>= 1:1.1.4) but it is not installable
 libwine : Depends: libgstreamer-plugins-base1.0-0 (>= 1.0.0) but it is not installable
E: Unable to correct problems, you have held broken packages.
A
  ;;
  interrupted) echo "E: dpkg was interrupted, you must manually run 'dpkg --configure -a' to correct the problem." ;;
esac
exit 100
S
chmod +x ./*

fails=0
# run NAME "UPDATE-FAILURES INSTALL-OUTCOME" EXPECTED-STATUS PATTERN... ; a
# pattern starting with ! must not be among the bootstrap's own lines.
run() {
  local name=$1 status pat
  echo "$2" > "$T/bin/case"; rm -f "$T/bin/updates" "$T/bin/frontend" "$T/bin/refused"
  BOOTSTRAP_RETRY_PAUSE=0 PATH="$T/bin:$PATH" bash "$BOOTSTRAP" > "$T/out" 2>&1
  status=$?
  echo "== $name (exit $status)"; cat "$T/out"
  grep '^bootstrap:' "$T/out" > "$T/own"
  [ "$status" -eq "$3" ] || { echo "FAIL $name: exit $status, expected $3"; fails=1; }
  [ ! -e "$T/bin/refused" ] || { echo "FAIL $name: $(cat "$T/bin/refused")"; fails=1; }
  shift 3
  for pat; do
    if [ "${pat#!}" != "$pat" ]; then
      ! grep -qiE -- "${pat#!}" "$T/own" || { echo "FAIL $name: said /${pat#!}/"; fails=1; }
    else
      grep -qiE -- "$pat" "$T/own" || { echo "FAIL $name: did not say /$pat/"; fails=1; }
    fi
  done
}

run "update fails twice, then works" "2 ok" 0 \
  'attempt 3 of 3' '!attempt 4|could not be installed'
[ "$(cat "$T/bin/updates")" = 3 ] || { echo "FAIL: $(cat "$T/bin/updates") updates"; fails=1; }
grep -qx DEBIAN_FRONTEND=noninteractive "$T/bin/frontend" ||
  { echo "FAIL: apt got $(cat "$T/bin/frontend") through sudo"; fails=1; }

run "the i386 index stays broken, the install finds held broken packages" "all held" 100 \
  'attempt 3 of 3' '!attempt 4' 'mirror is being updated' \
  'amd64 versions' 'binary-i386/Packages.xz$' 'again later' '!^bootstrap: +E:'

run "held broken packages with every index there" "0 held" 100 \
  '^bootstrap: +E: Unable to correct problems, you have held broken packages' \
  '!mirror|again later|amd64'

run "dpkg was interrupted" "0 interrupted" 100 '^bootstrap: +sudo dpkg --configure -a$'
exit $fails
