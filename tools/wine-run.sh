#!/usr/bin/env bash
# Runs a Windows program under Wine (used by ctest as the emulator), in the prefix wine-env.sh
# names: a test worker's under `make test`, the project's own otherwise.
source "$(dirname "${BASH_SOURCE[0]}")/wine-env.sh"
# Wine itself now and then fails before the program is even loaded: it exits nonzero within a
# few hundredths of a second and prints nothing (a test program never ends that fast, since the
# start alone takes the better part of a second). Such a start is retried once, and said so, so a
# failing suite is always a suite that ran.
start=$EPOCHREALTIME
wine "$@"
status=$?
elapsed=$(( (${EPOCHREALTIME/./} - ${start/./}) / 1000 ))
if [ $status -ne 0 ] && [ $elapsed -lt 300 ]; then
    echo "wine-run: wine ended with status $status after $elapsed ms without running $1; starting it again" >&2
    exec wine "$@"
fi
exit $status
