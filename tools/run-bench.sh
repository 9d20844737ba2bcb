#!/usr/bin/env bash
# `make bench`: runs every benchmark program (build/.../bench_*.exe) under Wine.
set -uo pipefail
build=${1:-build/mingw64}
source "$(dirname "${BASH_SOURCE[0]}")/wine-session.sh"
start_wine_session || exit 1
found=0
for b in "$build"/tests/bench_*.exe "$build"/bench_*.exe; do
    [ -e "$b" ] || continue
    found=1
    echo "== $(basename "$b")"
    (cd "$(dirname "$b")" && wine "./$(basename "$b")") || echo "benchmark failed: $b"
done
[ $found -eq 1 ] || echo "no benchmarks built yet"
