// The patrol-time dialog every Monitor button opens: the minutes between two patrols of one
// watched area and, where the area has one, its real-time switch.
#pragma once
#include "options.h"
#include <windows.h>

struct PatrolArea {
    UINT caption;                  // string id of the dialog's caption
    const char* patrolOption;
    int OptionSet::*patrol;
    int patrolDefault;
    const char* realtimeOption;    // nullptr: the area is only patrolled
    int OptionSet::*realtime;
    int realtimeDefault;
};

// The area whose dialog carries this caption; nullptr for an unknown caption.
const PatrolArea* FindPatrolArea(UINT caption);
// Writes one option and keeps the loaded copy in step, so that the write-back at the end of
// the program does not put the old value back.
void StoreOption(const char* name, int OptionSet::*field, int value);
// Modal dialog: minutes (0 turns the patrol off) or -1 when cancelled. current is shown
// first; the dialog itself stores the real-time switch.
int PatrolTimeDialog(HWND owner, UINT caption, int current);
