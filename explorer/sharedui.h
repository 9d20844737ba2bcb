// Fonts and image-button bitmaps that every page of the explorer uses; made once.
#pragma once
#include <windows.h>

struct SharedFonts {
    HFONT verdana18Bold, arial18, arialLink, sansBold14, sansBold10, sans12, arial14,
        shellBold14, shell14, note;
};

struct SharedBitmaps {
    HBITMAP help, helpPressed, helpHover;
    HBITMAP monitorOff, monitorPressed, monitorOn, monitorRealtime;
    HBITMAP folder, folderPressed, folderHover;
};

extern SharedFonts g_fonts;
extern SharedBitmaps g_bitmaps;

// Creates the fonts and loads the bitmaps the first time; later calls do nothing.
void CreateSharedUi();
void DestroySharedUi();
