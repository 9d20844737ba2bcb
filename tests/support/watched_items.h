// Real scheduled-task work items and services for the suites that watch them: made through
// the Task Scheduler 1.0 and the service manager, and removed again.
#pragma once
#include <windows.h>
#include <string>

// Path of a work item's .job file in the Windows Tasks folder.
std::string TaskJobPath(const std::wstring& name);
// Makes a work item without triggers that has never run, starting the program.
bool MakeWorkItem(const std::wstring& name, const std::string& program,
                  const std::wstring& comment = L"");

// Creates a service of the fixture program kxfx_service.exe (quoted path).
bool CreateFixtureService(const char* name, const char* display, DWORD startType,
                          const char* description = nullptr);
// Starts a service and waits for the state; the state reached.
DWORD StartServiceAndWait(const char* name, DWORD wanted);
// Waits (up to 5 s) for a service to reach a state; the last state seen.
DWORD WaitForServiceState(SC_HANDLE service, DWORD wanted);
// Stops and deletes a service when it exists.
void RemoveService(const char* name);
