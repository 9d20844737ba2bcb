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

static std::string Filled(const char* text, const char* const* values, int count)
{
    std::string filled;
    int next = 0;
    for (const char* in = text; *in; in++) {
        if (in[0] != '%' || !in[1]) {
            filled += *in;
            continue;
        }
        if (in[1] == '%') {
            filled += '%';
            in++;
            continue;
        }
        int length = 0, slot = -1;
        if (in[1] >= '1' && in[1] <= '9') {
            length = 2;
            slot = in[1] - '1';
        } else if (in[1] == 's' || in[1] == 'd' || in[1] == 'u') {
            length = 2;
            slot = next++;
        } else if (in[1] == 'l' && (in[2] == 'd' || in[2] == 'u')) {
            length = 3;
            slot = next++;
        }
        if (slot < 0 || slot >= count || !values[slot]) {
            filled += *in;   // not a marker, or one without a value: text as it stands
            continue;
        }
        filled += values[slot];
        in += length - 1;
    }
    return filled;
}

void FillTextSlots(const char* text, const char* const* values, int count, char* out,
                   int capacity)
{
    CutText(Filled(text, values, count).c_str(), out, capacity);
}

std::string FillText(const char* text, std::initializer_list<const char*> values)
{
    return Filled(text, values.begin(), (int)values.size());
}

void CutText(const char* text, char* out, int capacity)
{
    if (capacity <= 0)
        return;
    int length = 0;
    for (const char* p = text; *p;) {
        int size = IsDBCSLeadByte((BYTE)*p) && p[1] ? 2 : 1;
        if (length + size > capacity - 1)
            break;
        length += size;
        p += size;
    }
    memmove(out, text, length);
    out[length] = 0;
}

std::string NarrowAll(const wchar_t* wide)
{
    if (!wide || !wide[0])
        return "";
    int size = WideCharToMultiByte(CP_ACP, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return "";
    std::string text(size, '\0');
    if (!WideCharToMultiByte(CP_ACP, 0, wide, -1, &text[0], size, nullptr, nullptr))
        return "";
    text.resize(strlen(text.c_str()));
    return text;
}

void NarrowText(const wchar_t* wide, char* out, int capacity)
{
    if (capacity <= 0)
        return;
    // Converted whole and then cut, so that a long name keeps its beginning rather than
    // turning into nothing.
    CutText(NarrowAll(wide).c_str(), out, capacity);
}
