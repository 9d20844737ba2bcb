// Where the programs keep what they write: the machine folder made with its protection, and
// data of earlier builds. The folders' names are in datapaths.h.
#pragma once
#include "datapaths.h"

// Where an earlier build kept <name> (a file or folder): "<AppData>\Kestrix" (roaming
// application data, which any program of the user may rewrite), else the program folder.
// The length, 0 (out empty) when it is in neither.
int EarlierDataPath(const char* name, char* out, int capacity);

// The machine folder, made when missing; the length. 0, an empty out and the last error set
// when it cannot be made or is not a folder. An installed copy's is made readable to users and
// writable only by administrators and the system, so a program of the user cannot plant what
// an elevated action later writes back into a protected place.
int MachineDataFolder(char* out, int capacity);
// "<machine folder>\<name>"; 0 (out empty) when the folder cannot be made or the path does
// not fit.
int MachineDataPath(const char* name, char* out, int capacity);

// Data an earlier build wrote into the program folder: "<program folder>\<name>" moves to
// `to` when it is there and `to` is not; when it cannot be moved (a program folder the user
// may not write) it is copied, so it is still read. 1 when `to` holds it afterwards.
int AdoptEarlierFile(const char* name, const char* to);
// The same for a file at an earlier build's path.
int AdoptEarlierFileAt(const char* earlier, const char* to);
// The same for <name> wherever EarlierDataPath finds it.
int AdoptEarlierDataFile(const char* name, const char* to);
