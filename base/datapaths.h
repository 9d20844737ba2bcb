// Where the programs keep what they write, by name: the user's data folder (made when
// missing), the machine folder's path, the Documents folder. Only the shell is asked, so the
// lowest parts (trace, write faults) can name their places.
#pragma once

// An installed copy (one that runs from Program Files, which only administrators may write)
// keeps the user's own data in "%LOCALAPPDATA%\Kestrix" and what guards the whole machine in
// "%ProgramData%\Kestrix". A portable copy anywhere else keeps both in its own folder, as it
// always did. Local, not roaming, application data: everything kept there (the history, the
// disabled and parked startup items, the trace) describes this one machine.
int IsInstalledCopy();

// The user's folder, made when missing; the length. 0, an empty out and the last error set
// when it cannot be made or is not a folder.
int UserDataFolder(char* out, int capacity);
// The machine folder's path, whether or not it is there yet.
int MachineDataFolderName(char* out, int capacity);
// "<user folder>\<name>"; 0 (out empty) when the folder cannot be made or the path does not
// fit.
int UserDataPath(const char* name, char* out, int capacity);

// The user's Documents folder, where reports go unless told otherwise; the user data folder
// when the shell knows none. The length.
int DocumentsFolder(char* out, int capacity);

// Tests: the three folders above at these paths (nullptr or empty: that one by the rules
// above).
void SetDataFolders(const char* user, const char* machine, const char* documents);

// "<folder>\<name>" in the folder folderOf gives; 0 (out empty) when it gives none or the path
// does not fit.
int PathInDataFolder(int (*folderOf)(char*, int), const char* name, char* out, int capacity);
// Whether the machine folder is made protected: an installed copy's own, not a test's.
int MachineDataFolderIsProtected();
// Makes a plain folder; 1 when it is there afterwards.
int MakeDataFolder(const char* folder);
