// Entry point of Kestrix.exe; the monitor itself lives in kxmain.cpp.
#include "kxmain.h"
#include "systemfiles.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show)
{
    // Before anything loads a library by name.
    RestrictDllSearch();
    return MonitorMain(instance, commandLine, show);
}
