// The monitor's own autostart value, so that it comes back at every logon.
#pragma once

// Writes the monitor's Run value and its known-entry mark.
void AddAlwaysRun();
// Removes it again (the user turned the monitor's autostart off).
void RemoveAlwaysRun();
