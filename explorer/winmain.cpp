// Entry point of KestrixEx.exe; the explorer itself lives in exmain.cpp.
#include "exmain.h"
#include "systemfiles.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show)
{
    // Before anything loads a library by name.
    RestrictDllSearch();
    return ExplorerMain(instance, commandLine, show);
}
