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

void FillTextSlots(const char* text, const char* const* values, int count, char* out,
                   int capacity)
{
    if (capacity <= 0)
        return;
    int used = 0, next = 0;
    for (const char* in = text; *in && used < capacity - 1; in++) {
        if (in[0] == '%' && in[1] == 's' && next < count) {
            for (const char* v = values[next]; *v && used < capacity - 1; v++)
                out[used++] = *v;
            next++;
            in++;
        } else {
            out[used++] = *in;
        }
    }
    out[used] = 0;
}
