#include "textutil.h"
#include "trace.h"
#include <windows.h>
#include <cstring>

static bool PrintableAscii(const char* text, int n)
{
    for (int i = 0; i < n; i++)
        if ((unsigned char)text[i] < 0x20 || (unsigned char)text[i] > 0x7E)
            return false;
    return true;
}

int AsciiSameIgnoringCase(const char* a, const char* b, int n)
{
    if (!PrintableAscii(a, n) || !PrintableAscii(b, n))
        return -1;
    for (int i = 0; i < n; i++) {
        char x = a[i], y = b[i];
        if (x >= 'a' && x <= 'z')
            x -= 32;
        if (y >= 'a' && y <= 'z')
            y -= 32;
        if (x != y)
            return 0;
    }
    return 1;
}

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
        int same = AsciiSameIgnoringCase(text + i, part, (int)partLength);
        if (same < 0) {
            memcpy(window, text + i, partLength);
            window[partLength] = 0;
            same = lstrcmpiA(window, part) == 0;
        }
        if (same)
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

void NarrowText(const wchar_t* wide, char* out, int capacity)
{
    if (!WideCharToMultiByte(CP_ACP, 0, wide ? wide : L"", -1, out, capacity, nullptr, nullptr))
        out[0] = 0;
    out[capacity - 1] = 0;
}
