#!/usr/bin/env bash
# `make installer`: packs the built programs, the help pages and the alert sound into
# build/KestrixSetup.exe (or the file given as the second argument) with NSIS.
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build=$(cd "${1:-$root/build/mingw64}" && pwd)
out=${2:-$root/build/KestrixSetup.exe}
# makensis works in the script's folder: hand it an absolute output path.
case $out in /*) ;; *) out=$PWD/$out ;; esac
makensis -V2 -DBUILD="$build" -DSOURCE="$root" -DOUTFILE="$out" "$root/installer/kestrix.nsi"
echo "installer: $out"
