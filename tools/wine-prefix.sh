#!/usr/bin/env bash
# Creates the project's Wine prefix once (build/wineprefix).
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
if [ -f "$WINEPREFIX/system.reg" ] && [ -f "$WINEPREFIX/.kx-ready" ]; then
    exit 0
fi
echo "Preparing Wine prefix in $WINEPREFIX ..."
mkdir -p "$WINEPREFIX"
wineboot -i >/dev/null 2>&1 || true
wineserver -w
touch "$WINEPREFIX/.kx-ready"
