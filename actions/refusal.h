// Telling the user why an action changed nothing.
#pragma once
#include <windows.h>

// The string that explains a write failure: no rights (run elevated or ask an
// administrator), a file or key in use, or any other reason.
int RefusalMessageId(DWORD error);

// The text that tells the user that an action failed, with the reason of the last refused
// write, which is forgotten. The id of the text.
int RefusalText(char* out, int capacity);
// Tells the user that an action failed, with the reason of the last refused write
// (writefault.h) since ClearWriteRefusal, and forgets it. The id of the text shown.
int TellRefusal(HWND owner);
// An action failed: when none of its writes noted a refusal, the failure the last error
// holds is the reason TellRefusal gives.
void NoteActionFailure();
