#!/usr/bin/env bash
# The services of a real Windows 7 machine in a Wine prefix of their own, read back through that
# prefix's service manager by the realservices suite. Usage: run.sh <realservices_test.exe> <prefix>
# The prefix is made fresh each time and removed when the suite passes.
set -uo pipefail
suite=$1
prefix=$2
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
source "$here/../../tools/wine-env.sh"
data=$KX_ROOT/../shared/testdata/real-hives/regipy_SYSTEM-services.reg
if [ ! -f "$data" ]; then
    # In CI the data always comes beside the clone: missing there, it is a failure.
    if [ "${CI:-}" = true ]; then
        echo "FAILED: CI has no real-hive data beside the project (shared/testdata)"
        exit 1
    fi
    echo "no real-hive data beside the project: skipped"
    exit 77
fi
case $prefix in
    */realservices-prefix) ;;
    *) echo "refusing to replace $prefix"; exit 1 ;;
esac

export WINEPREFIX=$prefix
stop() { wineserver -k >/dev/null 2>&1; }
windows_path() { local p=${1//\//\\}; echo "Z:$p"; }
trap stop EXIT
stop
rm -rf "$prefix"
mkdir -p "$prefix"
start=$SECONDS
wineboot -i >/dev/null 2>&1 </dev/null
wineserver -w

# Wine's own services stay as they are: the import leaves their keys out.
grep -o '^\[System\\\\CurrentControlSet\\\\Services\\\\[^\\]*\]' "$prefix/system.reg" |
    sed 's/^.*\\\\//; s/\]$//' > "$prefix/own-services.txt"
# A NUL inside a string value (one service has one) would end regedit's reading of the file.
tr -d '\000' < "$data" |
    LC_ALL=C awk -v own="$prefix/own-services.txt" -f "$here/filter.awk" > "$prefix/services.reg"
wine regedit /S "$(windows_path "$prefix/services.reg")" </dev/null
# The service manager reads the services when it starts: a new server starts a new one.
wineserver -k
wineserver -w
echo "prefix made and $(grep -c '^\[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Services\\[^\\]*\]$' "$prefix/services.reg") services imported in $((SECONDS - start)) s"

KX_OWN_SERVICES=$(windows_path "$prefix/own-services.txt") \
    wine "$suite" --gtest_filter='RealServicesTest.*ServiceManager*' </dev/null
status=$?
stop
[ $status -eq 0 ] && rm -rf "$prefix"
exit $status
