// Commands and menu pieces every list page shares: the no-selection message, questions,
// the program of an entry, delete at restart, notes, the program folder and properties.
#pragma once
#include <windows.h>
#include <string>

struct EntryRecord;

// The no-selection message (string 57 unless told), captioned "Kestrix Help", topmost.
void NoSelectionMessage(HWND page, UINT stringId = 57);
// Message string stringId with argument for %s, in the program's message box; the answer.
int AskResString(HWND page, UINT stringId, const char* argument, UINT flags);

// Resolved program file of an entry's command ("" when the entry is missing).
void EntryProgramFile(int index, char* out /*260*/);
// 1 when the note file of the entry's program exists; its path in note when given.
int EntryNoteExists(int index, char* note = nullptr, int capacity = 0);

// The file a row's Delete acts on: the row's own path where it lists a file (a hidden file,
// a task's program, an add-on's server, a running program), else the program its command
// begins with. Taken as written: a bare name is never looked up in the folders of a search.
std::string ListedFileOfEntry(const EntryRecord& r);
// Says why a delete of path was refused (a RestartDeleteRefusal), naming the path.
void ShowDeleteRefusal(HWND page, int reason, const char* path);
// Asks string 800 naming the listed file, then deletes it at the next restart; 1 when
// scheduled. A bare name, or a file in a folder every user can write to, is refused and why.
int DeleteEntryFileOnReboot(HWND page, int index);
// Opens the note file of the entry's program when there is one.
void ViewEntryNote(HWND page, int index);
// The program's folder in the shell's explorer view.
void ExploreEntryFolder(HWND page, int index);
// The shell's properties sheet of the program file, when it exists.
void ShowEntryProperties(HWND page, int index);

// A menu item with a string-table text (fallback when the string is missing or 0).
void AppendMenuRes(HMENU menu, int command, UINT stringId, const char* fallback);
// Head of every page's context menu: Info, Explore Program Folder, Open Program Properties,
// and View Note when the entry's note exists.
void AppendMenuHead(HMENU menu, int index);
// Tail: separator, online information, the report, help.
void AppendMenuTail(HMENU menu);
