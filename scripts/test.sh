#!/usr/bin/env bash
# Every test: installs what is missing, builds the three trees, runs the native tests and
# then the Wine tests of the real binaries, each architecture in a fresh prefix of its own.
set -euo pipefail
cd "$(dirname "$0")/.."

usage() {
  cat >&2 <<'EOF'
usage: ./scripts/test.sh [--quick]

Installs what is missing, builds build/native, build/win32 and build/win64, runs the
native tests and then the Wine tests of the real binaries: the 32-bit ones in a fresh
32-bit prefix, the 64-bit ones in a fresh 64-bit prefix, each session under its own Xvfb.

The 64-bit run leaves out the two long waits in real time (CTest label long_wait: the
hook's 120 s, the dialog's 30 s countdown): they run the same portable tick logic as on
32-bit, which the native tests cover exactly and the 32-bit run in real time; the 64-bit
timers fire in its other tests.

  --quick   leaves out every case labelled slow (the long waits, the 10 s watchdog
            cases, the package install test), for the edit-and-test loop: the test
            presets win32-quick and win64-quick. The plain command, which CI runs,
            runs everything.
EOF
  exit 2
}

quick=
case "${1-}" in
  '') ;;
  --quick) quick=-quick ;;
  *) usage ;;
esac
[ $# -le 1 ] || usage

./scripts/setup.sh
./scripts/build.sh
echo "== native tests"
ctest --preset native -j "$(nproc 2>/dev/null || echo 2)"
# One test program at a time in a session: they share the prefix's Windows folder and
# the display. Both architectures run even when the first fails.
failed=()
for arch in win32 win64; do
  echo "== Wine tests, $arch$quick"
  WINEARCH=$arch ./scripts/wine-session.sh ctest --preset "$arch$quick" || failed+=("$arch")
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "== Wine tests failed: ${failed[*]}"
  exit 1
fi
