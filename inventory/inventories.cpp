#include "inventories.h"
#include "filetypes.h"
#include "folderwalk.h"

int ListFileTypePrograms() { return ListFileTypes(); }
int ListHiddenFiles() { return BuildHiddenFileList(); }
int RestoreHiddenFromVault(const char*, const char*, const char*) { return 0; }
