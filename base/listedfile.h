// A file acted on exactly where a list showed it. The item is opened without following a
// link at its own place, its final path must still be the listed one, and it is changed and
// deleted through that handle: a junction or symbolic link swapped into a folder the user can
// write after the list was made cannot turn the delete onto another file.
#pragma once
#include "handles.h"
#include <windows.h>
#include <string>

// "X:\..." or "\\server\share\...": a name without a drive or server would be found by a search.
bool IsFullPath(const char* path);
// Under a folder any user can write to (the temporary folders, the user profiles, the shared
// program data and Startup folders): a path there can be redirected by its user at any time.
bool InUserWritableFolder(const char* path);

enum ListedState {
    LISTED_OPEN,        // opened, and it is the listed item
    LISTED_MISSING,     // nothing at the path
    LISTED_ELSEWHERE,   // the path now leads to another place (a link or junction on the way)
    LISTED_REFUSED,     // in use or not accessible; GetLastError() holds why
};

// Where the path leads now, looked at without opening the file for a change (it may be in use):
// LISTED_OPEN when it is the listed item (the look is closed again).
ListedState WhereListed(const char* path);

class ListedFile {
public:
    // Opens the listed file for deleting, its attributes and extra (e.g. GENERIC_READ).
    // Others may read it meanwhile, never change, rename or delete it.
    explicit ListedFile(const char* path, DWORD extra = 0);
    ListedState State() const { return state_; }
    HANDLE get() const { return handle_.get(); }
    DWORD Attributes() const;
    bool SetAttributes(DWORD attributes);
    // Marks the file for deletion and closes it; true when it is gone from the listed path.
    bool Delete();

private:
    Handle handle_;
    std::string path_;
    ListedState state_;
};

// Deletes the listed file (read-only or not) through ListedFile; true when it is gone. why,
// when given, is the state that kept it (LISTED_REFUSED when the delete itself failed).
bool DeleteListedFile(const char* path, ListedState* why = nullptr);
