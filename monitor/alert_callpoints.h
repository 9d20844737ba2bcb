// Operations the alert dialogs and the startup check ask of other parts of the system:
// online information, help pages, services, watched system files, running programs and
// the tray. Each is one function here so that the owning parts can fill it in one place.
#pragma once
#include <windows.h>

// Online program information for the code (alert type + 1000) and the program path.
void LookupProgramOnline(HWND owner, int code, const char* path);

// Help page of a page command id: 6051 "helpme.html", anything else "features.html"; for
// a language other than "us" the file name carries the language code and "_" in front.
// 1 when a page was opened.
int OpenHelpPage(HWND owner, int pageId);
// File name the help routine opens for a page id (buffer of MAX_PATH).
void HelpFileName(int pageId, char* out, int capacity);
// Tests: replaces the opener (nullptr restores it).
void SetHelpPageSeam(int (*opener)(HWND owner, int pageId));

// Services: current state (SERVICE_* state number, 0 when unknown), stop, start type 4
// (each 1 when done, 0 otherwise), and the status text the service inventory shows.
int QueryServiceStateForAlert(const char* serviceName);
int StopServiceForAlert(const char* serviceName);
int DisableServiceForAlert(const char* serviceName);
void ServiceStatusText(const char* serviceName, char* out, int capacity);

// Watched system files: view the file or its saved copy in Notepad, accept the change
// (the new file becomes the saved copy) or reject it (the saved copy is put back). The
// flag stops watching the file. Each returns 1 on success, 0 with the last error set.
int ViewWatchedFile(const char* path);
int ViewSavedCopy(const char* recordName);
int AcceptSysFileChange(const char* recordName, int stopWatching);
int RejectSysFileChange(const char* recordName, int stopWatching);

// Next run time text of a scheduled task, empty when unknown.
void TaskNextRunText(const char* taskTitle, char* out, int capacity);

// Stops a running startup program without asking; 1 when one was stopped.
int StopStartupProgram(const char* command, const char* title);
