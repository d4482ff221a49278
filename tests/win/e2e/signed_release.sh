#!/usr/bin/env bash
# A signed release, made the way a release engineer makes one, with a
# throw-away certificate authority and code-signing certificate:
#   - a program whose signing fails is deleted, not left unsigned;
#   - a build tree given the key builds a setup program that osslsigncode
#     verifies against that authority (and against no other); a copy with
#     one byte changed fails the check;
#   - that setup program installs under Wine, walked down the default path,
#     and the main program, the companion and the uninstaller it installs
#     verify too;
#   - the same tree given a time-stamp authority's URL signs with a
#     timestamp from it (a local authority, timestamp_authority.py).
# WORK_DIR/keys (a link to the folder with the key, its password, the
# authority and the signing time) and WORK_DIR/out/VeltranoxSetup.exe are
# kept for the reproducible-build check.
#
# usage: signed_release.sh SOURCE_DIR SZDD_TOOL WORK_DIR WINE_TEMPLATE SETUP_WALK_EXE
set -uo pipefail
src=${1:?source dir} szdd=${2:?szdd tool} work=${3:?work dir} template=${4:?wine template}
walk=${5:?setup-walk.exe}
wine_run=$src/tests/support/wine-run.sh
. "$(dirname "$0")/build_setup.sh"

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
verify() { osslsigncode verify -CAfile "$keys/ca.pem" -in "$1" >"$work/verify.log" 2>&1; }

# The build refuses keys inside the source tree, and a build tree may lie
# in it (make's default build/): the keys live in a temp folder of their
# own, which WORK_DIR/keys links to.
[ -L "$work/keys" ] && rm -rf "$(readlink "$work/keys")"
rm -rf "$work"
mkdir -p "$work" || exit 2
keys=$(mktemp -d "${TMPDIR:-/tmp}/veltranox-keys.XXXXXX") || exit 2
ln -s "$keys" "$work/keys" || exit 2

# The authority, and a code-signing certificate it issues.
(
  set -e
  cd "$keys"
  openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 30 \
    -subj "/CN=Veltranox Test Authority" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign"
  openssl req -newkey rsa:2048 -nodes -keyout signer.key -out signer.csr \
    -subj "/O=Tervick Software/CN=Tervick Software Test Signing"
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' \
    >signer.ext
  openssl x509 -req -in signer.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 30 \
    -extfile signer.ext -out signer.pem
  head -c 24 /dev/urandom | base64 >password.txt
  openssl pkcs12 -export -inkey signer.key -in signer.pem -certfile ca.pem \
    -passout file:password.txt -out signer.p12
  echo wrong >wrong-password.txt
  # The time-stamp authority's certificate, from the same authority.
  openssl req -newkey rsa:2048 -nodes -keyout tsa.key -out tsa.csr -subj "/CN=Veltranox Test TSA"
  printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=critical,timeStamping\n' \
    >tsa.ext
  openssl x509 -req -in tsa.csr -CA ca.pem -CAkey ca.key -CAcreateserial -days 30 \
    -extfile tsa.ext -out tsa.pem
  echo 01 >tsa.serial
  printf '%s\n' '[ tsa ]' 'default_tsa = authority' '[ authority ]' \
    "serial = $PWD/tsa.serial" "signer_cert = $PWD/tsa.pem" "signer_key = $PWD/tsa.key" \
    'signer_digest = sha256' 'default_policy = 1.3.6.1.4.1.55555.1' \
    'digests = sha256, sha384, sha512' 'ess_cert_id_alg = sha256' >tsa.cnf
  # Signed after the certificate was issued, as a real release would be.
  date +%s >epoch
) >"$work/keys.log" 2>&1 || { cat "$work/keys.log" >&2; echo "cannot make the keys" >&2; exit 2; }
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(cat "$keys/epoch")

# A signing that fails leaves no program behind, signed or not.
mkdir -p "$work/failing"
cp "$walk" "$work/failing/program.exe"
if cmake -DOSSLSIGNCODE="$(command -v osslsigncode)" -DPKCS12="$keys/signer.p12" \
     -DPASSWORD_FILE="$keys/wrong-password.txt" -DFILE="$work/failing/program.exe" \
     -P "$src/cmake/sign.cmake" >"$work/failing/log" 2>&1; then
  fail "signing with a wrong password succeeded"
fi
if [ -n "$(ls -A "$work/failing" | grep -v '^log$')" ]; then
  fail "a failed signing left $(ls "$work/failing" | tr '\n' ' ')"
fi

# The signed build: the host tools of this tree, only the setup program.
out=$work/out
log=$work/build.log
echo "building a signed setup program in $work/win" >&2
: >"$log"
build_setup "$src" "$work/win" "$out" "$szdd" "$log" "the signed build" \
  -DSIGNING_PKCS12="$keys/signer.p12" -DSIGNING_PASSWORD_FILE="$keys/password.txt" || exit 1
setup=$out/VeltranoxSetup.exe
grep -c '^Signing ' "$log" | sed 's/^/programs signed: /' >&2
# The symbol file belongs to the program as shipped: the signed one.
[ "$(sed -n 's/^sha256 //p' "$out/VeltranoxSetup.sym")" = "$(sha256sum <"$setup" | cut -c1-64)" ] ||
  fail "VeltranoxSetup.sym does not give the signed program's SHA-256"

verify "$setup" || { cat "$work/verify.log" >&2; fail "the setup program does not verify"; }
# Only the test authority vouches for the key: the system's store does not.
osslsigncode verify -in "$setup" >/dev/null 2>&1 &&
  fail "the setup program verifies without the test authority"
tampered=$work/tampered.exe
cp "$setup" "$tampered"
# One byte of the code, well inside the first section.
byte=$(od -An -tu1 -j 4096 -N1 "$tampered" | tr -d ' ')
printf "$(printf '\\%03o' $(( (byte + 1) % 256 )))" |
  dd of="$tampered" bs=1 seek=4096 conv=notrunc status=none
cmp -s "$setup" "$tampered" && fail "the tampered copy is unchanged"
verify "$tampered" && fail "a setup program with a changed byte still verifies"

# The signed setup program installs end to end; what it installs is signed.
echo "installing it under Wine" >&2
WINE_TEST_KEEP=1 bash "$wine_run" --template "$template" --work "$work/run" --timeout 240 \
  --sibling "$setup" -- "$walk" --timeout 200 'C:\tests\VeltranoxSetup.exe' \
  >"$work/install.log" 2>&1
rc=$?
[ $rc -eq 0 ] || { tail -40 "$work/install.log" >&2; fail "the walked installation exited with $rc"; }
drive_c=$work/run/prefix/drive_c
for installed in "Program Files (x86)/Veltranox/Veltranox.exe" windows/vmon03.exe \
                 windows/vcluins1.exe; do
  if [ ! -f "$drive_c/$installed" ]; then
    fail "not installed: $installed"
  elif verify "$drive_c/$installed"; then
    echo "verified as installed: $installed" >&2
  else
    cat "$work/verify.log" >&2
    fail "does not verify as installed: $installed"
  fi
done
rm -rf "$work/run"

# A timestamp from the configured authority: only the companion is signed
# again, so the setup program above stays the reproducible one.
python3 "$(dirname "$0")/timestamp_authority.py" "$keys/tsa.cnf" "$work/tsa.port" \
  2>"$work/tsa.log" &
tsa=$!
deadline=$((SECONDS + 60)) # a bound for a hang, not for a busy machine
while [ $SECONDS -lt $deadline ] && kill -0 $tsa 2>/dev/null; do
  [ -s "$work/tsa.port" ] && break
  sleep 0.1
done
companion=$work/win/programs/companion/vmon03/vmon03.exe
if [ ! -s "$work/tsa.port" ]; then
  fail "the time-stamp authority did not start: $(cat "$work/tsa.log")"
elif ! cmake "$work/win" -DSIGNING_TIMESTAMP_URL="http://127.0.0.1:$(cat "$work/tsa.port")/" \
       >>"$log" 2>&1 || ! cmake --build "$work/win" --target vmon03 >>"$log" 2>&1; then
  tail -20 "$log" >&2
  fail "the timestamped build failed"
elif ! osslsigncode verify -CAfile "$keys/ca.pem" -TSA-CAfile "$keys/ca.pem" -in "$companion" \
       >"$work/verify.log" 2>&1 ||
     ! grep -q "Timestamp Server Signature verification: ok" "$work/verify.log"; then
  cat "$work/verify.log" >&2
  fail "the companion carries no verified timestamp"
fi
kill "$tsa" 2>/dev/null
wait "$tsa" 2>/dev/null

[ $failures -eq 0 ] || { echo "$failures failure(s)" >&2; exit 1; }
echo "signed release: setup program and the three installed programs verify" \
     "($(stat -c %s "$setup") bytes)"
