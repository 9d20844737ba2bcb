// The saved list: the machine's autostart state, one comma-separated line per entry.
#pragma once

// Writes the list to path (replacing it); 1 when written.
int WriteSavedListTo(const char* path);
