// Watched system files (HOSTS, Autoexec.bat, Config.sys): one record each with its size,
// date and a saved copy, the rule that says a file changed, the HOSTS path, the pending
// restart commands of wininit.ini and the per-program note files.
#pragma once
#include <string>

// The HOSTS file's path; its length.
int GetHOSTSFile(char* out, int capacity);
// Records one file under HKLM Sysfiles\<name> and saves a copy; 1 when the copy was written.
int RecordSysFile(const char* name, const char* path, const char* comment, int type);
// Makes the three records when the Sysfiles default value is empty.
void InitSysFileRecords();
// Where the saved copy of a record lives: the machine's data folder, which only
// administrators write, since putting the copy back writes a protected file. A copy an
// earlier build kept in the user's application data or the program folder is moved there
// when it can be, and read where it is when it cannot.
void SavedCopyPath(const char* name, char* out, int capacity);
// The monitor's rule: 1 when the file changed since its record.
int SysFileChanged(const char* name, const char* path);
// Present "Date" text (local last-write date and time) and size of a file; 0 when it is missing.
int SysFileState(const char* path, char* date, int dateCapacity, unsigned long* size,
                 char* stamp /*24*/);
// Note file of a program path: the user's data folder, where a note an earlier build kept
// is moved (or copied) to when first asked for.
void NoteFilePath(const char* programPath, char* out, int capacity);

// wininit.ini in the Windows folder, and whether it holds restart commands: only where
// wininit.exe exists (the Windows 95 family) and the file is not empty.
std::string WinInitPath();
int HasRestartCommands();
// The file's text for the view: at most 16384 bytes, line ends widened to CR LF.
std::string RestartCommandsText();
// Deletes wininit.ini (attributes cleared first) so no restart command runs; 1 when gone.
int DeleteRestartCommands();
