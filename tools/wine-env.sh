# Sourced by the dev scripts: where the project's Wine prefix lives and how Wine runs.
KX_ROOT=${KX_ROOT:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}
# Under `make test` ctest names the worker a test runs on (tools/run-tests.sh): the test then
# runs in that worker's prefix and on its display, never in the prefix `make run` uses.
if [ -n "${CTEST_RESOURCE_GROUP_0_PREFIX:-}" ] && [ -n "${KX_TEST_PREFIX_BASE:-}" ]; then
    kx_worker=${CTEST_RESOURCE_GROUP_0_PREFIX#id:}
    kx_worker=${kx_worker%%,*}
    KX_WINEPREFIX=$KX_TEST_PREFIX_BASE-$kx_worker
    kx_display=KX_TEST_DISPLAY_$kx_worker
    [ -n "${!kx_display:-}" ] && export DISPLAY=${!kx_display}
fi
export WINEPREFIX=${KX_WINEPREFIX:-$KX_ROOT/build/wineprefix}
export WINEDEBUG=${WINEDEBUG:--all}
# No Mono or Gecko prompts: the programs need neither.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=}
export WINEARCH=win64
