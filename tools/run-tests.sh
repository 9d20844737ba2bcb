#!/usr/bin/env bash
# Runs every test suite under Wine with one persistent wineserver and a private X display.
set -uo pipefail
build=${1:-build/mingw64}
source "$(dirname "${BASH_SOURCE[0]}")/wine-session.sh"
start_wine_session || exit 1

# CTEST_ARGS may quote its patterns: -R 'a|b' works as on a command line.
eval "set -- ${CTEST_ARGS:-}"
ctest --test-dir "$build" --output-on-failure --timeout 600 "$@"
status=$?
if [ $status -eq 0 ]; then echo "make test: all suites passed"; else echo "make test: FAILED"; fi
exit $status
