#!/usr/bin/env bash
# Runs every test suite under Wine with one persistent wineserver and a private X display.
set -uo pipefail
build=${1:-build/mingw64}
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
source "$KX_ROOT/tools/xvfb.sh"

start_private_display
wineserver -p
trap 'wineserver -k 2>/dev/null; stop_private_display' EXIT

ctest --test-dir "$build" --output-on-failure --timeout 600 ${CTEST_ARGS:-}
status=$?
if [ $status -eq 0 ]; then echo "make test: all suites passed"; else echo "make test: FAILED"; fi
exit $status
