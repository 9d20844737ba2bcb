// Which of the two programs is running, its caption and its folder.
#pragma once
#include <windows.h>

enum ProgramKind { PROGRAM_MONITOR, PROGRAM_EXPLORER };

extern ProgramKind g_programKind;
extern char g_programCaption[128];   // the text the main window shows

int IsMonitor();

// Folder of the running program file without a trailing backslash; empty when
// the path is longer than 260. Tests may point it elsewhere.
const char* ProgramFolder();
void SetProgramFolder(const char* folder);   // nullptr: back to the real folder

// Full path of a file in the program folder ("<folder>\<name>"), cut to capacity.
void ProgramFilePath(const char* name, char* path, int capacity);
// 1 when the path names the monitor's own program file (short or long form, any case).
// A program whose name or folder merely mentions Kestrix is not Kestrix.
int IsOwnMonitorFile(const char* path);
