#!/usr/bin/env bash
# `make bench`: runs every benchmark program (build/.../bench_*.exe) under Wine, then prints
# every figure with its target in one table. Exits non-zero when a figure missed its target or
# a benchmark failed to run.
set -uo pipefail
build=${1:-build/mingw64}
# A prefix of the benchmarks' own: they wipe the program's data, which make run's prefix keeps.
export KX_WINEPREFIX=${KX_BENCH_PREFIX:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)/build/wineprefix-bench}
KX_HEADLESS=1 "$(dirname "${BASH_SOURCE[0]}")/wine-prefix.sh" || { echo "make bench: FAILED (no prefix)"; exit 1; }
source "$(dirname "${BASH_SOURCE[0]}")/wine-session.sh"
start_wine_session || exit 1
figures=$(mktemp)
log=$(mktemp)
trap 'rm -f "$figures" "$log"; wineserver -k >/dev/null 2>&1; stop_private_display' EXIT
failed=()
found=0
for b in "$build"/tests/bench_*.exe; do
    [ -e "$b" ] || continue
    found=1
    name=$(basename "$b" .exe)
    echo "== $name"
    # Each program prints its own progress; its figure lines go to the table.
    (cd "$(dirname "$b")" && wine "./$name.exe") | tee "$log" | grep --line-buffered -v '^KXFIGURE|'
    status=${PIPESTATUS[0]}
    # Wine's console ends lines with CR LF: the figures are counted without the CR.
    grep '^KXFIGURE|' "$log" | tr -d '\r' | sed "s/^KXFIGURE/$name/" >> "$figures"
    # Wine may exit 0 for a program ended from outside: one without figures did not finish.
    if [ "$status" -ne 0 ]; then failed+=("$name (exit $status)")
    elif ! grep -q '^KXFIGURE|' "$log"; then failed+=("$name (no figures)"); fi
done
if [ $found -eq 0 ]; then
    echo "make bench: no benchmarks built"
    exit 1
fi
echo
printf '%-16s %-64s %14s %14s  %s\n' program figure value target result
awk -F'|' '{ printf "%-16s %-64s %14s %14s  %s\n", $1, $2, $3, $4, $5 }' "$figures"
missed=$(grep -c '|MISSED$' "$figures")
if [ "$missed" -gt 0 ] || [ ${#failed[@]} -gt 0 ]; then
    echo "make bench: FAILED: $missed figure(s) missed their target${failed:+; failed: ${failed[*]}}"
    exit 1
fi
echo "make bench: every figure met its target"
