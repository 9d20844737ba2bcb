// Fonts of the alert dialogs, created with the monitor window and kept until exit.
#pragma once
#include <windows.h>

enum AlertFont {
    FONT_SANS_8,          // "MS Sans Serif" 8 pt
    FONT_SANS_8_BOLD,
    FONT_VERDANA_8,
    FONT_VERDANA_10_BOLD,
    FONT_ARIAL_10,
    FONT_ARIAL_12_BOLD,
    FONT_COUNT
};

int CreateAlertFonts();   // 1 when every font was created
HFONT GetAlertFont(AlertFont which);
void DeleteAlertFonts();
