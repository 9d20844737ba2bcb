// Programs and libraries of the system by their full path: a bare name is looked for in the
// current folder (or the program's) before the System folder, where anyone may plant a file
// of that name.
#pragma once
#include <string>

// "<System folder>\name".
std::string SystemFilePath(const char* name);
// From now on DLLs named without a folder load from the System folder only, never from the
// current folder or the PATH (SetDefaultDllDirectories, where the system has it). 1 when set.
int RestrictDllSearch();
