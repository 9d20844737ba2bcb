// Tests: a failure injected into one write step of the machine (a registry write, a file
// copy, move, delete or rewrite, a service change), as a user without rights, a locked file
// or a full disk would cause. Every writer of the registry layer and of the actions asks
// WriteStepFails() (or the forms below that name the place written) just before its step.
#pragma once
#include <windows.h>

// The step-th write step from now fails (1 the next one); 0 lifts the fault. Counting
// starts again at each call.
void SetWriteFault(int step);
// Write steps asked about since the last SetWriteFault.
int WriteStepsSeen();
// 1 when this step must fail (the last error is set as the failure would set it).
int WriteStepFails();

// The places a user without administrator rights cannot write.
enum WritePlace {
    PLACE_NONE = 0,
    PLACE_PROGRAM_FOLDER = 1,
    PLACE_HKLM = 2,           // HKLM outside its classes; the service manager's settings too
    PLACE_HKLM_CLASSES = 4,   // HKLM\Software\Classes, and HKCR where it writes into it
    PLACE_MACHINE_FOLDER = 8,
};
// Tests: every write into these places (a mask) fails with ERROR_ACCESS_DENIED, as Windows
// refuses a standard user's program. 0 lifts the refusal.
void SetDeniedPlaces(int places);
// The place a file path or a registry key lies in.
int PlaceOfFile(const char* path);
int PlaceOfKey(HKEY root, const char* path);
// WriteStepFails() for a step that writes into a place, a file, a key, or moves a file
// (which writes both folders).
int WriteStepFailsIn(int place);
int FileWriteFails(const char* path);
int KeyWriteFails(HKEY root, const char* path);
int FileMoveFails(const char* from, const char* to);

// The reason the last write that failed gave (injected, refused, or noted by its writer);
// 0 when none failed since ClearWriteRefusal. Lets the interface tell the user why an
// action changed nothing.
void NoteWriteRefusal(DWORD error);
DWORD LastWriteRefusal();
void ClearWriteRefusal();
