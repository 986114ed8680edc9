#!/usr/bin/env bash
# The Windows installer, as a user meets it: installed silently into a fresh Wine
# prefix, found by the tool's list of that prefix with its registration's values,
# the installed window program started there, then removed through its own
# registration; afterwards Wine's own list of programs lacks it and its folder
# is gone.
#   installer-test.sh INSTALLER.exe NATIVE-VORNAK WORK-FOLDER
# Exits 77 (a skip) with the reason when something it needs is missing.
set -uo pipefail
installer="$1"
vornak="$2"
work="$(realpath -m "$3")"
skip() { echo "SKIP: $*"; exit 77; }
fail() { echo "FAIL: $*"; exit 1; }
[ -f "$installer" ] || skip "$installer is not built (cmake --build build-win --target package)"
[ -x "$vornak" ] || skip "the native tool $vornak is not built (scripts/build.sh)"
for tool in wine wineserver wineboot; do
  command -v "$tool" >/dev/null 2>&1 || skip "$tool is not installed"
done

prefix="$work/prefix"
rm -rf "$work"
mkdir -p "$work/home"
export WINEPREFIX="$prefix"
export WINEDEBUG=-all
# No Mono, no Gecko, and no menu entries in a home outside the test.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export HOME="$work/home"
export XDG_DATA_HOME="$work/home/.local/share"
unset VORNAK_WINEPREFIX VORNAK_REGISTRY_DIR VORNAK_DRIVES
trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
wineboot --init >/dev/null 2>&1 || fail "wineboot could not make a prefix"
wineserver -w

wine "$installer" /S >/dev/null 2>&1
wineserver -w
folder="$prefix/drive_c/Program Files/Vornak Uninstaller"
for f in vornak-uninstaller.exe vornak.exe Uninstall.exe lang/English.lng lang/Danish.lng \
         Uninstaller.html Splash.jpg; do
  [ -f "$folder/$f" ] || fail "the installer did not put $f into Program Files\\Vornak Uninstaller"
done
shortcut="$(find "$prefix/drive_c" -path '*Start Menu/Programs/Vornak Uninstaller*/Vornak Uninstaller.lnk' | head -n 1)"
[ -n "$shortcut" ] || fail "no Start-menu shortcut Vornak Uninstaller"

listed="$("$vornak" list --prefix "$prefix" 2>&1)"
row="$(printf '%s\n' "$listed" | awk -F '\t' '$4 == "Vornak Uninstaller"')"
[ -n "$row" ] || fail "vornak list --prefix does not list Vornak Uninstaller: $listed"
case "$row" in ok*) ;; *) fail "its row is not an ordinary one: $row" ;; esac
key='HKLM\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\Vornak Uninstaller'
values="$(VORNAK_WINEPREFIX="$prefix" "$vornak" reg query "$key" 2>&1)" ||
  fail "its Uninstall key cannot be read: $values"
value() { printf '%s\n' "$values" | sed -n "s/^ *$1 *REG_SZ *//p" | tr -d '\r'; }
expect() {
  [ "$(value "$1")" = "$2" ] || fail "$1 is '$(value "$1")', not '$2'"
}
install_dir='C:\Program Files\Vornak Uninstaller'
expect DisplayName "Vornak Uninstaller"
expect DisplayVersion "2.1"
expect Publisher "Vornak Software"
expect DisplayIcon "$install_dir\\vornak-uninstaller.exe"
expect UninstallString "\"$install_dir\\Uninstall.exe\""
expect QuietUninstallString "\"$install_dir\\Uninstall.exe\" /S"

# The installed window program starts there and keeps running until stopped.
wine "$install_dir\\vornak-uninstaller.exe" >"$work/program.log" 2>&1 &
program=$!
if [ -n "${DISPLAY:-}" ] && command -v xdotool >/dev/null 2>&1 &&
   [ "${QT_QPA_PLATFORM:-windows}" = windows ]; then
  shown=""
  for _ in $(seq 300); do
    if xdotool search --onlyvisible --name '^Vornak Uninstaller 2\.1' >/dev/null 2>&1; then
      shown=yes
      break
    fi
    kill -0 "$program" 2>/dev/null || break
    sleep 0.1
  done
  [ -n "$shown" ] || fail "the installed window program showed no main window: $(cat "$work/program.log")"
else
  sleep 5
fi
kill -0 "$program" 2>/dev/null || fail "the installed window program ended at once: $(cat "$work/program.log")"
wineserver -k
wait "$program" 2>/dev/null

# Removed through its own registration: the command it left for a quiet removal.
# Split as a Windows command line of a quoted program and plain arguments is.
quiet="$(value QuietUninstallString)"
eval "set -- $quiet"
wine "$@" >/dev/null 2>&1
# The NSIS uninstaller goes on from a copy of itself: wait for the prefix to end.
wineserver -w
[ ! -e "$folder" ] || fail "Program Files\\Vornak Uninstaller is still there: $(ls -R "$folder")"
remaining="$(wine uninstaller --list 2>/dev/null | tr -d '\r')"
wineserver -w
if printf '%s\n' "$remaining" | grep -q "Vornak Uninstaller"; then
  fail "wine uninstaller --list still lists it: $remaining"
fi
if "$vornak" list --prefix "$prefix" 2>&1 | awk -F '\t' '$4 == "Vornak Uninstaller"' | grep -q .; then
  fail "vornak list --prefix still lists it"
fi
echo "installed, listed, started and removed"
