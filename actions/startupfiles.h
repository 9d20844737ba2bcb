// Startup-folder items: disabled by moving them into the Disabled folder of the program
// folder, removed by parking the file (a shortcut, or the program itself) in the folder
// Parked, and moved back from the history.
#pragma once
#include <string>

int IsStartupShortcut(const char* path);
// 1 when the item (its source, else its command) lies in the all-users Startup folder.
int IsCommonStartupItem(const char* source, const char* command);
// Moves the item into Parked, under a free name; parked gets the parked path. 1 when moved.
int ParkStartupItem(const char* item, char* parked, int capacity);
// Moves a parked item back to place; never replaces a file there. 1 when moved.
int UnparkStartupItem(const char* parked, const char* place);

int DisableStartupFile(const char* title, const char* source, const char* command);
int EnableStartupFile(const char* title, const char* source, const char* command);
// The item is parked, a shortcut too (never the program it starts): logCommand/logSource get
// the parked file and the item's place for the history line, so that a restore moves the very
// file back, a shortcut with its arguments, working folder and icon. A file that stays (in
// use, no rights) is not reported as removed.
int RemoveStartupFile(const char* title, const char* source, const char* command,
                      std::string* logCommand, std::string* logSource);
// Makes a shortcut again; never replaces an existing file. 1 when saved.
int CreateStartupShortcut(const char* path, const char* title, const char* command);
// Puts a removed item back from its history line: the parked file (command) moves back to its
// place (source); a shortcut an older version deleted is made again from its target (command).
// listed gets the command the inventory then lists the item by. 1 when back.
int RestoreStartupFile(const char* title, const char* command, const char* source,
                       std::string* listed);
