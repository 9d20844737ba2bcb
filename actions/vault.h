// Condemned hidden files and the vault they wait in (<data folder>\vault), and the other
// things the user does to a hidden file: unhide, view, delete at the next restart.
#pragma once
#include "listedfile.h"

#define KX_HIDDEN_KEY "Software\\Orvane\\Kestrix\\Hidden"

// Stops the file's program if it runs, copies it into the vault (under a free name, never
// over an older copy; up to 1000 copies of one name), checks the copy's size, then deletes
// the original, writes the history line (its source is the vault copy) and forgets the known
// value. 1 when the file is gone from its place; a copy that failed leaves the file where it
// was and deletes nothing in the vault but a copy this call made. The file is read, copied
// and deleted through one handle opened at the listed path (ListedFile): when the path now
// leads elsewhere nothing is touched and *why (when given) says LISTED_ELSEWHERE.
int CondemnHiddenFile(const char* title, const char* path, ListedState* why = nullptr);
// Brings a condemned file back from the vault (vaultCopy as the history line holds it; when
// empty, the vault copy of the file's name), hides it and records it as approved. Never
// writes over a file that exists at the path again. 1 when the vault copy was moved back.
int RestoreHiddenFromVault(const char* title, const char* path, const char* vaultCopy);
// Plain attributes: no longer hidden, system or read-only. 1 on success.
int UnhideFile(const char* path);
// Opens the file in Notepad; 1 when the shell started it.
int ViewHiddenFile(const char* path);
// Deletes the file at the next restart: MoveFileEx on the NT family, a "NUL=" line in the
// [rename] section of wininit.ini on the Windows 95 family. 1 when scheduled, 0 when that
// failed (GetLastError), or a refusal: the path is no full path, or on the NT family lies in a
// folder any user can write to (where a link put there before the restart would redirect the
// delete), or leads elsewhere already.
enum RestartDeleteRefusal {
    RESTART_NO_FULL_PATH = -1,
    RESTART_USER_FOLDER = -2,
    RESTART_ELSEWHERE = -3,
};
int DeleteFileAtRestart(const char* path);
// Records the file as known (today's date).
void ApproveHiddenFile(const char* path);
