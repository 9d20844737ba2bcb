// Winlogon Notify DLLs: disabled by moving DllName into OldName.
#pragma once

int DisableNotify(const char* title, const char* command);
// 0 only when a kept name could not be written back.
int PutNotifyBack(const char* title);
