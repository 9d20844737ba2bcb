// Entry point of KestrixEx.exe; the explorer itself lives in exmain.cpp.
#include "exmain.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int show)
{
    return ExplorerMain(instance, commandLine, show);
}
