#!/usr/bin/env bash
# Runs every test suite under Wine with one persistent wineserver and a private X display.
set -uo pipefail
build=${1:-build/mingw64}
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
source "$KX_ROOT/tools/xvfb.sh"

start_private_display
# One persistent server for the whole run. Wine's own background processes (services,
# devices, explorer) are started here, with their output closed, so that they do not
# inherit the first test's output pipe and keep ctest waiting for it.
wineserver -p >/dev/null 2>&1 </dev/null
wine cmd /c exit >/dev/null 2>&1 </dev/null
trap 'wineserver -k >/dev/null 2>&1; stop_private_display' EXIT

ctest --test-dir "$build" --output-on-failure --timeout 600 ${CTEST_ARGS:-}
status=$?
if [ $status -eq 0 ]; then echo "make test: all suites passed"; else echo "make test: FAILED"; fi
exit $status
