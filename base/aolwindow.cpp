#include "aolwindow.h"

HWND FindAolClientWindow()
{
    static const char* const kTitles[] = {"America  Online", "America Online", "AOL",
                                          "AOL Canada"};
    for (const char* title : kTitles)
        if (HWND window = FindWindowA("AOL Frame25", title))
            return window;
    return FindWindowA("AOL Frame", "America  Online");
}
