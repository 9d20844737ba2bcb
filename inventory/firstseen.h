// First-seen dates as the inventories show them; the baseline records them.
#pragma once

// The Detected subkey (full path) that holds the first-seen dates of an entry type.
const char* DetectedSubkeyForType(int type);
// First-seen date of a program key for an entry type; the length, 0 when none.
int GetFirstSeenDate(const char* programKey, int type, char* out, int capacity);
