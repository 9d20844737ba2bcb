#!/usr/bin/env bash
# `make test`: runs every test suite under Wine, in prefixes of the tests' own (never the one
# `make run` uses). KX_TEST_WORKERS suites run at once (default 2), each worker with a fresh copy
# of a pristine prefix, its own persistent wineserver and its own X display; ctest hands a
# worker to a suite through its resource groups, and tools/wine-run.sh picks the worker's prefix.
set -uo pipefail
build=${1:-build/mingw64}
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
source "$KX_ROOT/tools/xvfb.sh"
workers=${KX_TEST_WORKERS:-2}
pristine=$KX_ROOT/build/wineprefix-test
export KX_TEST_PREFIX_BASE=$pristine

KX_HEADLESS=1 KX_WINEPREFIX=$pristine "$KX_ROOT/tools/wine-prefix.sh" || { echo "make test: FAILED (no test prefix)"; exit 1; }

displays=()
stop_workers() {
    local i
    for ((i = 1; i <= workers; i++)); do
        WINEPREFIX=$pristine-$i wineserver -k >/dev/null 2>&1
    done
    [ ${#displays[@]} -gt 0 ] && kill "${displays[@]}" 2>/dev/null
}
trap stop_workers EXIT

workers_file=$KX_ROOT/build/test-workers.json
{
    printf '{ "version": { "major": 1, "minor": 0 },\n  "local": [ { "prefix": ['
    for ((i = 1; i <= workers; i++)); do
        [ $i -gt 1 ] && printf ', '
        printf '{ "id": "%d", "slots": 1 }' "$i"
    done
    printf '] } ] }\n'
} > "$workers_file"

for ((i = 1; i <= workers; i++)); do
    prefix=$pristine-$i
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1
    rm -rf "$prefix"
    cp -a "$pristine" "$prefix" || { echo "make test: FAILED (cannot copy the test prefix)"; exit 1; }
    # Every worker has a display of its own, so that windows and focus of two suites never meet.
    unset DISPLAY
    KX_PRIVATE_X=1 start_private_display || { echo "make test: FAILED (no X display)"; exit 1; }
    displays+=("$KX_XVFB_PID")
    KX_XVFB_PID=""
    export "KX_TEST_DISPLAY_$i=$DISPLAY"
    # Wine's own background processes (services, devices, explorer) are started here, with
    # their output closed, so that they do not inherit the first program's output pipe and
    # keep its reader (ctest) waiting for it.
    WINEPREFIX=$prefix wineserver -p >/dev/null 2>&1 </dev/null
    WINEPREFIX=$prefix wine cmd /c exit >/dev/null 2>&1 </dev/null
done
unset DISPLAY

# CTEST_ARGS may quote its patterns: -R 'a|b' works as on a command line.
eval "set -- ${CTEST_ARGS:-}"
ctest --test-dir "$build" --output-on-failure --timeout 600 -j "$workers" \
      --resource-spec-file "$workers_file" "$@"
status=$?
if [ $status -eq 0 ]; then echo "make test: all suites passed"; else echo "make test: FAILED"; fi
exit $status
