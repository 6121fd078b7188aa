#!/usr/bin/env bash
# Fails when code outside the platform layers includes a Windows header.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"
hits=$(grep -rn -E '^\s*#\s*include\s*[<"](windows|winsock2?|winbase|winuser|wingdi|mmsystem|shellapi|commctrl|ws2tcpip)\.h[>"]' \
         --include='*.h' --include='*.cpp' --include='*.c' \
         common contract hook client setup tests/native fuzz bench 2>/dev/null |
       grep -v -E '^[^:]*/windows/' || true)
if [ -n "$hits" ]; then
  echo "Windows headers in portable code:"
  echo "$hits"
  exit 1
fi
echo "portable code includes no Windows header"
