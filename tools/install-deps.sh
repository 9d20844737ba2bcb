#!/usr/bin/env bash
# Installs what the build and the tests need on a Debian machine, only when missing.
set -euo pipefail
need=()
have() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q "install ok installed"; }
# windmc, which compiles the event messages, comes with binutils-mingw-w64-x86-64.
for pkg in cmake make g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 wine wine64 \
           xvfb x11-apps x11-utils imagemagick googletest python3 nsis libxml2-utils \
           nlohmann-json3-dev osslsigncode openssl; do
    have "$pkg" || need+=("$pkg")
done
if [ ${#need[@]} -gt 0 ]; then
    echo "Installing: ${need[*]}"
    SUDO=""
    [ "$(id -u)" -eq 0 ] || SUDO=sudo
    $SUDO apt-get update -q
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q "${need[@]}"
fi
