// The resident monitor: entry, window procedure and patrol cycle.
#pragma once
#include <windows.h>

int MonitorMain(HINSTANCE instance, const char* commandLine, int show);
