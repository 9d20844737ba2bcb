// The protection warning the explorer shows before it removes a system hook.
#pragma once
#include <windows.h>
#include "winpos.h"

// Window position names of the warning.
extern const WindowPosNames kWarningPos;

// Shows dialog 194 for an entry; 1 only when the user ticked "I really know what I'm doing"
// before pressing OK. Needs the explorer's resources: 0 when the template is missing.
int ShowProtectionWarning(HWND owner, const char* title, const char* command);
