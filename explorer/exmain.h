// The explorer: entry, switches and the property sheet.
#pragma once
#include <windows.h>

int ExplorerMain(HINSTANCE instance, const char* commandLine, int show);
