#!/usr/bin/env bash
# Installation benchmark. Builds an NSIS installer (Debian's makensis, its
# default compression) that installs the same 39 files as the setup program,
# writes the same registry values and links and starts the program, and
# runs bench_install.exe in a fresh Wine prefix: the setup program walked by
# the UI robot against the NSIS installer run silently, in the same prefix,
# side by side. Then the sizes: the setup program's own overhead (its size
# minus the payload bytes it stores; goal: 48 KB at most), the NSIS
# installer, and an empty NSIS installer.
#
# usage: bench/install.sh [ROUNDS]        (BUILD=build-x picks the tree)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=$(cd "$here" && mkdir -p "${BUILD:-build}" && cd "${BUILD:-build}" && pwd)
rounds=${1:-5}

make -C "$here" --no-print-directory setup BUILD="$build" >/dev/null
cmake --build "$build/win" --target bench_install -j2 >/dev/null
exe=$build/win/bench/install/bench_install.exe
setup=$build/VeltranoxSetup.exe
sources=$(sed -n 's/^PAYLOAD_STANDARD_DIR:INTERNAL=//p' "$build/win/CMakeCache.txt")/payload_sources.txt
[ -f "$sources" ] || { echo "bench: no payload list $sources" >&2; exit 2; }
work=$build/bench-runs/install-nsis
rm -rf "$work"
mkdir -p "$work"

# The NSIS script: the catalogue's names, folders and read-only marks, the
# files as they are installed (the originals, not our containers).
nsi=$work/veltranox.nsi
{
  cat <<'EOF'
Unicode false
Name "Veltranox 2003"
OutFile "veltranox-nsis.exe"
InstallDir "$PROGRAMFILES\Veltranox"
RequestExecutionLevel admin
SilentInstall silent
Section
EOF
  sed -nE 's/^PAYLOAD_ENTRY\( *[0-9]+, *([0-9]+), *"([^"]+)", *([A-Z_]+), *[A-Z]+, *([A-Z]+)\).*/\1 \2 \3 \4/p' \
    "$here/resources/catalogue.def" |
  while read -r id name destination readOnly; do
    source=$(awk -F'\t' -v id="$id" '{ split($1, f, " "); if (f[1] == id) print $2 }' "$sources")
    [ -n "$source" ] || { echo "bench: payload $id is not in $sources" >&2; exit 2; }
    case $destination in
      WINDOWS_DIRECTORY|UNINSTALLER) echo "  SetOutPath \"\$WINDIR\"" ;;
      *) echo "  SetOutPath \"\$INSTDIR\"" ;;
    esac
    echo "  File \"/oname=$name\" \"$source\""
    if [ "$readOnly" = YES ]; then
      echo "  SetFileAttributes \"\$INSTDIR\\$name\" READONLY"
    fi
  done
  cat <<'EOF'
  WriteRegStr HKCU "Software\Tervick\Veltranox\Settings" "patch" "blank"
  WriteRegDWORD HKCU "Software\Tervick\Veltranox\Settings" "nolmaccess" 0
  WriteRegDWORD HKCU "Software\Tervick\Veltranox\Settings" "zxcount" 43
  WriteRegStr HKCU "Software\Tervick\Veltranox\Settings" "Installed" "$EXEPATH"
  WriteRegStr HKLM "SOFTWARE\Tervick" "patch" "blank"
  WriteRegStr HKLM "SOFTWARE\Tervick" "Path" "$INSTDIR"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\App Paths\Veltranox.exe" "" "$INSTDIR\Veltranox.exe"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\App Paths\Veltranox.exe" "Path" "$INSTDIR"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltranox" "DisplayName" "Veltranox 2003   (Remove Only)"
  WriteRegStr HKLM "Software\Microsoft\Windows\CurrentVersion\Uninstall\Veltranox" "UninstallString" "$WINDIR\vcluins1.exe"
  SetOutPath "$INSTDIR"
  CreateShortCut "$STARTMENU\Veltranox 2003.lnk" "$INSTDIR\Veltranox.exe" "" "$INSTDIR\Veltranox.exe" 0
  CreateShortCut "$DESKTOP\Veltranox 2003.lnk" "$INSTDIR\Veltranox.exe" "" "$INSTDIR\Veltranox.exe" 0
  CreateShortCut "$QUICKLAUNCH\Veltranox 2003.lnk" "$INSTDIR\Veltranox.exe" "" "$INSTDIR\Veltranox.exe" 0
  ExecShell "open" "$INSTDIR\Veltranox.exe" "" SW_SHOWMAXIMIZED
SectionEnd
EOF
} >"$nsi"
printf 'OutFile "empty-nsis.exe"\nSilentInstall silent\nSection\nSectionEnd\n' >"$work/empty.nsi"
(cd "$work" && makensis -V1 veltranox.nsi && makensis -V1 empty.nsi) >&2

template="$build/win/wine-template"
[ -f "$template/.bench-ready" ] || bash "$here/tests/support/wine-template.sh" "$template" >&2
bash "$here/tests/support/wine-run.sh" --template "$template" \
  --work "$build/bench-runs/install" --timeout 900 \
  --sibling "$setup" --sibling "$work/veltranox-nsis.exe" \
  -- "$exe" "$rounds" 'C:\tests\VeltranoxSetup.exe' 'C:\tests\veltranox-nsis.exe'

# Sizes. The payload bytes are what the setup program stores: raw files and
# SZDD containers, as listed for its resource script.
size() { stat -c %s "$1"; }
stored=0
while IFS=$'\t' read -r head _; do
  file=${head#* * }
  stored=$((stored + $(size "$file")))
done <"$sources"
total=$(size "$setup")
overhead=$((total - stored))
echo
echo "Size (bytes):"
printf '  %-44s %9d\n' "VeltranoxSetup.exe" "$total"
printf '  %-44s %9d\n' "  payload stored in it (39 resources)" "$stored"
printf '  %-44s %9d  (%.1f KB; goal: 48 KB at most: %s)\n' "  overhead: the setup program itself" \
  "$overhead" "$(echo "$overhead / 1024" | bc -l)" "$([ "$overhead" -le $((48 * 1024)) ] && echo met || echo NOT met)"
printf '  %-44s %9d\n' "NSIS installer of the same files" "$(size "$work/veltranox-nsis.exe")"
printf '  %-44s %9d\n' "empty NSIS installer" "$(size "$work/empty-nsis.exe")"
