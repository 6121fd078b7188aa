#!/usr/bin/env bash
# Runs a command inside a fresh Wine prefix with one wineserver kept alive for it, under
# a virtual X display when none is given, and removes the prefix afterwards.
#   scripts/wine-session.sh COMMAND [ARG...]
# The prefix is 32-bit unless WINEARCH=win64 asks for a 64-bit one (which runs 32-bit
# programs too). TALLYHORN_KEEP_PREFIX=1 keeps the prefix; WINEPREFIX set beforehand is
# used as it is.
# Where the system allows it (root, unshare), the session gets a network of its own, so
# that its servers on fixed ports (the comment server's 5052) never meet another
# session's; TALLYHORN_SHARED_NETWORK=1 keeps the machine's network.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

if [ -z "${TALLYHORN_IN_NETNS:-}" ] && [ -z "${TALLYHORN_SHARED_NETWORK:-}" ] &&
   command -v unshare >/dev/null 2>&1 && command -v ip >/dev/null 2>&1 && unshare -n true 2>/dev/null; then
  export TALLYHORN_IN_NETNS=1
  exec unshare -n sh -c 'ip link set lo up 2>/dev/null || true; exec "$0" "$@"' "$0" "$@"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${TALLYHORN_IN_XVFB:-}" ]; then
  export TALLYHORN_IN_XVFB=1
  exec xvfb-run -a -s "-screen 0 1280x1024x24" "$0" "$@"
fi

export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml="
export WINEARCH=${WINEARCH:-win32}
own_prefix=
if [ -z "${WINEPREFIX:-}" ]; then
  WINEPREFIX=$(mktemp -d /tmp/tallyhorn-wine.XXXXXX)
  export WINEPREFIX
  own_prefix=1
fi

cleanup() {
  wineserver -k >/dev/null 2>&1 || true
  wineserver -w >/dev/null 2>&1 || true
  if [ -n "$own_prefix" ] && [ -z "${TALLYHORN_KEEP_PREFIX:-}" ]; then rm -rf "$WINEPREFIX"; fi
}
trap cleanup EXIT

"$here/wine-prefix.sh"
wineserver -p
# The first program of a session starts Wine's service processes, which inherit its
# output and keep it open; started here, they cannot hold a test runner's pipe open.
wine cmd /c exit </dev/null >/dev/null 2>&1 || true
"$@"
