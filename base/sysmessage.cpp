#include "sysmessage.h"
#include "program.h"
#include "resstring.h"
#include <cstdio>

void ShowSystemError()
{
    DWORD code = GetLastError();
    char message[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
                   MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT), message, sizeof(message), nullptr);
    char text[600];
    snprintf(text, sizeof(text), "%lu  %s", (unsigned long)code, message);
    MessageBoxA(nullptr, text, "System Error", MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
}

int KxMessageBox(HWND owner, const char* text, UINT flags)
{
    return MessageBoxExA(owner, text, g_programCaption, flags, (WORD)uiLanguage);
}
