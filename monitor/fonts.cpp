#include "fonts.h"
#include "handles.h"

static GdiObject g_fonts[FONT_COUNT];

static HFONT MakeFont(const char* face, int points, int weight)
{
    HDC screen = GetDC(nullptr);
    int height = -MulDiv(points, screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96, 72);
    if (screen)
        ReleaseDC(nullptr, screen);
    return CreateFontA(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_SWISS, face);
}

int CreateAlertFonts()
{
    struct FontFace {
        const char* face;
        int points, weight;
    };
    static const FontFace kFaces[FONT_COUNT] = {
        {"MS Sans Serif", 8, FW_NORMAL}, {"MS Sans Serif", 8, FW_BOLD},
        {"Verdana", 8, FW_NORMAL},       {"Verdana", 10, FW_BOLD},
        {"Arial", 10, FW_NORMAL},        {"Arial", 12, FW_BOLD},
    };
    int all = 1;
    for (int i = 0; i < FONT_COUNT; i++) {
        g_fonts[i].reset(MakeFont(kFaces[i].face, kFaces[i].points, kFaces[i].weight));
        if (!g_fonts[i].get())
            all = 0;
    }
    return all;
}

HFONT GetAlertFont(AlertFont which)
{
    if (which < 0 || which >= FONT_COUNT)
        return nullptr;
    return (HFONT)g_fonts[which].get();
}

void DeleteAlertFonts()
{
    for (GdiObject& font : g_fonts)
        font.reset();
}
