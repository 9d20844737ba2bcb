// The monitor's own autostart value (HKLM Run, named like the caption), so that it comes
// back at every logon.
#pragma once

// 1 when the value exists.
int IsAlwaysRun();
// The value's data: the monitor's program file, quoted.
void AlwaysRunCommand(char* out, int capacity);
// Writes the Run value (1 when written) and, in every case, its known-entry mark.
int AddAlwaysRun();
// Removes the entry through the shared removal; 1 when removed.
int RemoveAlwaysRun();
