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
  wineboot -i >/dev/null 2>&1
  wineserver -w
fi
wine reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f >/dev/null 2>&1
if [ -d /usr/share/wine/fonts ]; then
  cp -n /usr/share/wine/fonts/* "$WINEPREFIX/drive_c/windows/Fonts/" 2>/dev/null || true
fi
wineserver -w
