#include "inventories.h"
#include "entrylist.h"

// Not enumerated yet: each clears the list and finds nothing until its inventory lands.
int ListFileTypePrograms() { ClearEntries(); return 0; }
int ListHiddenFiles() { ClearEntries(); return 0; }
int RestoreHiddenFromVault(const char*, const char*, const char*) { return 0; }
