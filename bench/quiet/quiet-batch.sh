#!/bin/bash
# A batch of quiet uninstalls in a fresh Wine prefix: N small NSIS programs
# removed by `vornak uninstall --quiet K1 ... KN`, against the same uninstallers
# run by hand, each with /S and followed by `wineserver -w`, as one would
# without the tool. Prints both times, the time per program and their ratio.
#
#   bench/quiet/quiet-batch.sh [programs=10] [vornak=build/bin/vornak]
set -euo pipefail
count=${1:-10}
tool=$(realpath "${2:-build/bin/vornak}")
work=$(mktemp -d "${TMPDIR:-/tmp}/vornak quiet bench.XXXXXX")
trap 'WINEPREFIX="$work/prefix" wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wineboot -i >/dev/null 2>&1
wineserver -w

mkdir -p "$work/nsis"
for i in $(seq 1 "$count"); do
    cat >"$work/nsis/p$i.nsi" <<NSI
Target amd64-unicode
Name "Vornak Bench $i"
OutFile "p$i.exe"
InstallDir "\$PROGRAMFILES64\\Vornak Bench $i"
RequestExecutionLevel admin
!define KEY "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\VornakBench$i"
Section
  SetOutPath "\$INSTDIR"
  FileOpen \$0 "\$INSTDIR\\payload.txt" w
  FileClose \$0
  WriteUninstaller "\$INSTDIR\\uninst.exe"
  WriteRegStr HKLM "\${KEY}" "DisplayName" "Vornak Bench $i"
  WriteRegStr HKLM "\${KEY}" "UninstallString" '"\$INSTDIR\\uninst.exe"'
SectionEnd
Section "Uninstall"
  Delete "\$INSTDIR\\payload.txt"
  Delete "\$INSTDIR\\uninst.exe"
  RMDir "\$INSTDIR"
  DeleteRegKey HKLM "\${KEY}"
SectionEnd
NSI
    (cd "$work/nsis" && makensis -V1 "p$i.nsi" >/dev/null)
done

install_all() {
    for i in $(seq 1 "$count"); do
        wine "$work/nsis/p$i.exe" /S
        wineserver -w
    done
}
now() { date +%s.%N; }

install_all
keys=()
for i in $(seq 1 "$count"); do keys+=("VornakBench$i"); done
start=$(now)
VORNAK_WINEPREFIX="$WINEPREFIX" XDG_DATA_HOME="$work/data" "$tool" uninstall --quiet "${keys[@]}" >/dev/null
tool_s=$(echo "$(now) - $start" | bc)
left=$(ls "$WINEPREFIX/drive_c/Program Files" | grep -c "Vornak Bench" || true)

# What the tool's run left (a folder an uninstaller could not empty) goes first.
rm -rf "$WINEPREFIX/drive_c/Program Files/Vornak Bench "*
install_all
start=$(now)
for i in $(seq 1 "$count"); do
    wine "C:\\Program Files\\Vornak Bench $i\\uninst.exe" /S
    wineserver -w
done
ref_s=$(echo "$(now) - $start" | bc)
ref_left=$(ls "$WINEPREFIX/drive_c/Program Files" | grep -c "Vornak Bench" || true)

printf 'programs %d; folders left behind: %d by the tool, %d by hand\n' "$count" "$left" "$ref_left"
printf 'vornak uninstall --quiet: %.2f s, %.2f s per program\n' "$tool_s" "$(echo "$tool_s / $count" | bc -l)"
printf 'by hand (wine uninst.exe /S; wineserver -w): %.2f s, %.2f s per program\n' "$ref_s" "$(echo "$ref_s / $count" | bc -l)"
printf 'ratio: %.2f\n' "$(echo "$tool_s / $ref_s" | bc -l)"
