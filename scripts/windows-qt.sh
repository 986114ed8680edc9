#!/usr/bin/env bash
# Sourced by the Windows scripts: finds Qt for Windows and sets VORNAK_QT_WINDOWS to
# its folder, or leaves it empty and says why in VORNAK_QT_WINDOWS_MISSING.
# Looked for, in this order: $VORNAK_QT_WINDOWS (an unpacked Qt, or the archive),
# then ../shared/toolchains/qt6.4.2-mingw-w64-static.tar.xz beside the repository.
# An archive is unpacked once into build-win/ and unpacked again only when it changes.
vornak_find_windows_qt() {
  local root archive given="${VORNAK_QT_WINDOWS:-}"
  root="$(pwd)"
  VORNAK_QT_WINDOWS=""
  VORNAK_QT_WINDOWS_MISSING=""
  if [ -n "$given" ] && [ -d "$given" ]; then
    VORNAK_QT_WINDOWS="$(cd "$given" && pwd)"
    return 0
  fi
  if [ -n "$given" ]; then
    archive="$given"
  else
    archive="$root/../shared/toolchains/qt6.4.2-mingw-w64-static.tar.xz"
  fi
  if [ ! -f "$archive" ]; then
    VORNAK_QT_WINDOWS_MISSING="no Qt for Windows (VORNAK_QT_WINDOWS unset, $archive missing)"
    return 0
  fi
  local stamp="$root/build-win/vornak-qt6-mingw.unpacked"
  local id
  id="$(stat -c '%s %Y' "$archive") $(readlink -f "$archive")"
  if [ ! -d "$root/build-win/vornak-qt6-mingw" ] || [ "$(cat "$stamp" 2>/dev/null)" != "$id" ]; then
    mkdir -p "$root/build-win"
    rm -rf "$root/build-win/vornak-qt6-mingw" "$stamp"
    if ! tar -xJf "$archive" -C "$root/build-win" || [ ! -d "$root/build-win/vornak-qt6-mingw" ]; then
      rm -rf "$root/build-win/vornak-qt6-mingw"
      VORNAK_QT_WINDOWS_MISSING="$archive could not be unpacked"
      return 0
    fi
    echo "$id" >"$stamp"
  fi
  VORNAK_QT_WINDOWS="$root/build-win/vornak-qt6-mingw"
}
