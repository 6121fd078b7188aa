#!/usr/bin/env bash
# Makes $WINEPREFIX ready for the tests: created, no window manager (windows are not
# "managed", so hiding is quick and focus stays with the program), 96 DPI, and Wine's own
# fonts (MS Sans Serif among them) in C:\windows\Fonts, where this Wine build does not
# look for them by itself; without them every face falls back to a wider system font.
set -euo pipefail
: "${WINEPREFIX:?WINEPREFIX must be set}"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # Wine marks a new prefix up to date before it fills it: when one of its first programs
  # fails, the prefix stays without its system DLLs, and every later program in it dies
  # with "could not load kernel32.dll". That is said here, with wineboot's own words.
  boot_log=$(mktemp) problem=
  WINEDEBUG=err+all,fixme-all wineboot -i >"$boot_log" 2>&1 || problem="wineboot exited with $?"
  wineserver -w
  system=(system32); if [ "${WINEARCH:-}" = win64 ]; then system+=(syswow64); fi
  for folder in "${system[@]}"; do
    [ -f "$WINEPREFIX/drive_c/windows/$folder/kernel32.dll" ] || problem="${problem:+$problem; }$folder holds no kernel32.dll"
  done
  if [ -n "$problem" ]; then
    echo "wine-prefix: $WINEPREFIX was not made whole: $problem; wineboot said:" >&2
    sed 's/^/  /' "$boot_log" >&2
  fi
  rm -f "$boot_log"
  [ -z "$problem" ] || exit 1
fi
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
if [ -d /usr/share/wine/fonts ]; then
  cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
fi
wineserver -w
