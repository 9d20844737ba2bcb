// Startup-folder items: disabled by moving them into the Disabled folder of the program
// folder, removed by deleting a shortcut or parking any other file (it may be the program
// itself) in the folder Parked, and made again from the history.
#pragma once
#include <string>

int IsStartupShortcut(const char* path);
// Moves the item into Parked, under a free name; parked gets the parked path. 1 when moved.
int ParkStartupItem(const char* item, char* parked, int capacity);
// Moves a parked item back to place; never replaces a file there. 1 when moved.
int UnparkStartupItem(const char* parked, const char* place);

int DisableStartupFile(const char* title, const char* source, const char* command);
int EnableStartupFile(const char* title, const char* source, const char* command);
// A shortcut is deleted (never the program it starts). Any other item is parked instead, and
// logCommand/logSource get the parked file and the item's place for the history line, so
// that a restore moves the very file back. A file that stays (in use, no rights) is not
// reported as removed.
int RemoveStartupFile(const char* title, const char* source, const char* command,
                      std::string* logCommand, std::string* logSource);
// Makes a shortcut again; never replaces an existing file. 1 when saved.
int CreateStartupShortcut(const char* path, const char* title, const char* command);
