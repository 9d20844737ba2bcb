// The monitor's watch on its options: the manager, a Group Policy or a script that changes an
// option under the Options key or the policy keys is heard at once, and the monitor reads
// every option again (the tray icon shown or hidden with it).
#pragma once
#include <windows.h>

// Arms the watch; the event the monitor's loop waits on (nullptr when no key could be
// watched). Calling it again arms it afresh.
HANDLE OptionsWatchStart();
void OptionsWatchStop();
HANDLE OptionsWatchEvent();
// The event was signalled: the watch is armed again first (a change made while the options
// are read is not lost), then the options are read and the tray icon follows HideRufo.
void OptionsWatchOnSignal();
