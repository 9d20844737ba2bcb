// Placeholder bodies until the entry actions land; every caller links against these names.
#include "findrun.h"

int DisableRunProgram(const char*, const char*, const char*, int) { return 0; }
int DeleteRunProgram(const char*, const char*, const char*, int) { return 0; }
int DeleteRegProgram(HWND, const char*, const char*, const char*, int) { return 0; }
int RestoreEntry(const char*, const char*, const char*, int) { return 0; }
