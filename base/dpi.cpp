#include "dpi.h"

int ScreenDpi()
{
    // Read once: the fonts and bitmaps made from it live as long as the program.
    static int dpi;
    if (!dpi) {
        HDC screen = GetDC(nullptr);
        dpi = screen ? GetDeviceCaps(screen, LOGPIXELSY) : 96;
        if (screen)
            ReleaseDC(nullptr, screen);
        if (dpi <= 0)
            dpi = 96;
    }
    return dpi;
}

int ScaleForDpi(int pixels)
{
    return MulDiv(pixels, ScreenDpi(), 96);
}
