#!/usr/bin/env bash
# `make fuzz`: the garbage suite's long run, built with stack, buffer and iterator checks so
# that an overrun aborts where it happens. KX_GARBAGE_SCALE (default 20) multiplies each
# parser's short count; KX_GARBAGE_SEED picks another run of cases.
set -uo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$root/build/fuzz
checks="-fstack-protector-strong -D_FORTIFY_SOURCE=2 -D_GLIBCXX_ASSERTIONS"
cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_FLAGS="$checks" -DCMAKE_CXX_FLAGS="$checks" \
    -DCMAKE_EXE_LINKER_FLAGS="-fstack-protector-strong -lssp" >/dev/null || exit 1
cmake --build "$build" -j "${JOBS:-2}" --target garbage_test || exit 1

source "$root/tools/wine-session.sh"
start_wine_session || exit 1
export KX_GARBAGE_SCALE=${KX_GARBAGE_SCALE:-20}
echo "make fuzz: scale $KX_GARBAGE_SCALE, seed ${KX_GARBAGE_SEED:-default}"
cd "$build/tests" || exit 1
wine ./garbage_test.exe 2>&1 | tee "$build/garbage.log"
status=${PIPESTATUS[0]}
# A run ended from outside may leave wine's status at 0: only the suite's own summary counts.
if ! grep -q '^\[  PASSED  \]' "$build/garbage.log" || grep -q '^\[  FAILED  \]' "$build/garbage.log"; then
    status=1
fi
if [ $status -eq 0 ]; then echo "make fuzz: passed"; else echo "make fuzz: FAILED"; fi
exit $status
