#include "refusal.h"
#include "resstring.h"
#include "sysmessage.h"
#include "textutil.h"
#include "writefault.h"
#include <cstdio>

enum {
    IDS_REFUSED_RIGHTS = 1500,
    IDS_REFUSED_IN_USE = 1501,
    IDS_REFUSED_OTHER = 1502,
};

int RefusalMessageId(DWORD error)
{
    switch (error) {
    case ERROR_ACCESS_DENIED:
    case ERROR_PRIVILEGE_NOT_HELD:
    case ERROR_INVALID_OWNER:
    case ERROR_WRITE_PROTECT:
        return IDS_REFUSED_RIGHTS;
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
        return IDS_REFUSED_IN_USE;
    default:
        return IDS_REFUSED_OTHER;
    }
}

int RefusalText(char* out, int capacity)
{
    DWORD error = LastWriteRefusal();
    ClearWriteRefusal();
    int id = RefusalMessageId(error);
    char format[1024] = "", code[32];
    if (!LoadResString(id, format, sizeof(format)))
        return 0;
    snprintf(code, sizeof(code), "%lu", (unsigned long)error);
    const char* values[1] = {code};
    FillTextSlots(format, values, 1, out, capacity);
    return id;
}

void NoteActionFailure()
{
    if (!LastWriteRefusal())
        NoteWriteRefusal(GetLastError());
}

int TellRefusal(HWND owner)
{
    char text[1200];
    int id = RefusalText(text, sizeof(text));
    if (id)
        KxMessageBox(owner, text, MB_OK | MB_ICONEXCLAMATION);
    return id;
}
