// Folder walks and spBuildProc, the per-file step that feeds the startup-folder,
// cookie and hidden-file lists.
#pragma once
#include <windows.h>

enum WalkMode { WALK_STARTUP = 1, WALK_COOKIES = 2, WALK_HIDDEN = 7 };

// A step returns non-zero to stop the walk.
typedef int (*WalkStep)(const char* path, const WIN32_FIND_DATAA* data, int modeArgument);

// Lists folder\*.*; subfolders (not "." names) are walked first while depth > 0, then the
// step runs for every item, folders included. 1 when a step stopped the walk.
int WalkFolder(const char* folder, WalkStep step, int depth, int modeArgument);

// What spBuildProc does; set by the caller before a walk.
void SetWalkMode(int mode);
// Set after every startup-folder add (mode 1), cleared by each cookie step (mode 2).
int WalkFound();
void SetWalkFound(int found);

// Mode 1: startup-folder items; mode 2: cookie files (modeArgument 1 deletes the ones the
// filter condemns); mode 7: hidden files.
int spBuildProc(const char* path, const WIN32_FIND_DATAA* data, int modeArgument);

// Clears the list and gathers the hidden files of C:\, the Windows, System, common-files
// and temporary folders; the count.
int BuildHiddenFileList();
