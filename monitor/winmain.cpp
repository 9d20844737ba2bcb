// Entry point of Kestrix.exe; the monitor itself lives in kxmain.cpp.
#include "kxmain.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show)
{
    return MonitorMain(instance, commandLine, show);
}
