#include "textutil.h"
#include "trace.h"
#include <windows.h>
#include <cstring>

int InMyString(const char* text, const char* part)
{
    size_t textLength = strlen(text), partLength = strlen(part);
    if (textLength >= 773) {
        Trace("INMYSTRINGOVERFLOW!!!!", part);
        return 0;
    }
    if (partLength > textLength)
        return 0;
    char window[774];
    for (size_t i = 0; i + partLength <= textLength; i++) {
        memcpy(window, text + i, partLength);
        window[partLength] = 0;
        if (lstrcmpiA(window, part) == 0)
            return 1;
    }
    return 0;
}
