// Change notifications on the autostart locations, the browser add-on keys, the services and
// the scheduled-tasks folder, so that a new entry is checked within a second instead of at
// the next patrol. The monitor's message loop waits on the handles
// (MsgWaitForMultipleObjects); a location that does not exist yet is watched once it appears.
#pragma once
#include <windows.h>

// Arms every watch that can be armed; returns the number of handles the loop waits on.
// Calling it again re-arms all. The loop's set holds the main watches and, at index 0, one
// event for the watches helper threads wait on (value places, Task Scheduler 2.0), so that
// the set stays under MAXIMUM_WAIT_OBJECTS however many places are watched.
int RealtimeStart();
void RealtimeStop();

int RealtimeHandleCount();
const HANDLE* RealtimeHandles();
// Where the watch of handle index looks ("HKCU\...", or a folder path), for the trace and
// tests; for index 0 the first helped watch that has fired.
const char* RealtimeWatchName(int index);
// Every watch, main and helped, by its own number.
int RealtimeWatchCount();
const char* RealtimeWatchNameAt(int watch);

// Locations missing when the watches were armed are tried again (every tick, and whenever a
// name appears in the nearest parent that exists, which is watched for that); one that has
// appeared is watched from then on and counts as a change. The number newly watched.
int RealtimeRetryMissing();

// What a watch makes the monitor check.
enum RealtimeCategory {
    REALTIME_STARTUP = 1,
    REALTIME_ADDONS = 2,
    REALTIME_SERVICES = 4,
    REALTIME_TASKS = 8,
    REALTIME_SYSFILES = 16,    // the HOSTS folder
    REALTIME_FILETYPES = 32,   // the class keys and the user's FileExts
    REALTIME_PAGES = 64,       // the browser's start, search and desktop pages
};

// A handle of the set was signalled: re-arm that watch and note a request.
void RealtimeOnSignal(int index);
// Once for every burst of changes, the categories that changed (RealtimeCategory bits): the
// request is handed out when no further change has come for a short settling time. The loop
// waits at most RealtimeWaitTimeout() for it. 0 when nothing is due.
int RealtimeTakeRequest();
DWORD RealtimeWaitTimeout();
// Settling time of a burst, in milliseconds.
const DWORD REALTIME_SETTLE_MS = 60;

// Serves a request: the startup check is wanted (kept in checksWaiting until a pass starts
// it) and runs in a first-half pass at once unless an alert is open, a pass runs or the last
// one started less than a second ago; then it runs as soon as that no longer holds.
void RealtimeForceStartupCheck();
// The same for every category of a request: the add-on check shares the startup check's half
// of the patrol; services and tasks are in the other half, whose pass follows once the
// one-second rule allows when both halves were asked for.
void RealtimeForceChecks(int categories);
// The message loop calls this after every wake-up: a request kept back by a running pass, an
// open alert or the one-second rule runs its pass as soon as none of them holds any more.
void RealtimeServeWaiting();
