// Where the programs keep what they write.
#pragma once

// Where an earlier build kept <name> (a file or folder): "<AppData>\Kestrix" (roaming
// application data, which any program of the user may rewrite), else the program folder.
// The length, 0 (out empty) when it is in neither.
int EarlierDataPath(const char* name, char* out, int capacity);

// An installed copy (one that runs from Program Files, which only administrators may write)
// keeps the user's own data in "%LOCALAPPDATA%\Kestrix" and what guards the whole machine in
// "%ProgramData%\Kestrix". A portable copy anywhere else keeps both in its own folder, as it
// always did. Local, not roaming, application data: everything kept there (the history, the
// disabled and parked startup items, the trace) describes this one machine.
int IsInstalledCopy();

// The folder, made when missing; the length. 0, an empty out and the last error set when it
// cannot be made or is not a folder. The machine folder is made readable to users and
// writable only by administrators and the system, so a program of the user cannot plant what
// an elevated action later writes back into a protected place.
int UserDataFolder(char* out, int capacity);
int MachineDataFolder(char* out, int capacity);
// The machine folder's path, whether or not it is there yet.
int MachineDataFolderName(char* out, int capacity);
// "<folder>\<name>" in one of them; 0 (out empty) when the folder cannot be made or the path
// does not fit.
int UserDataPath(const char* name, char* out, int capacity);
int MachineDataPath(const char* name, char* out, int capacity);

// The user's Documents folder, where reports go unless told otherwise; the user data folder
// when the shell knows none. The length.
int DocumentsFolder(char* out, int capacity);

// Tests: the three folders above at these paths (nullptr or empty: that one by the rules
// above).
void SetDataFolders(const char* user, const char* machine, const char* documents);

// Data an earlier build wrote into the program folder: "<program folder>\<name>" moves to
// `to` when it is there and `to` is not; when it cannot be moved (a program folder the user
// may not write) it is copied, so it is still read. 1 when `to` holds it afterwards.
int AdoptEarlierFile(const char* name, const char* to);
// The same for a file at an earlier build's path.
int AdoptEarlierFileAt(const char* earlier, const char* to);
// The same for <name> wherever EarlierDataPath finds it.
int AdoptEarlierDataFile(const char* name, const char* to);
