#include "inventories.h"
#include "filetypes.h"
#include "folderwalk.h"

int ListFileTypePrograms() { return ListFileTypes(); }
int ListHiddenFiles() { return BuildHiddenFileList(); }
