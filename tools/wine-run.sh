#!/usr/bin/env bash
# Runs a Windows program in the project's Wine prefix (used by ctest as the emulator).
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
exec wine "$@"
