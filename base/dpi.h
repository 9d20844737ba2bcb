// Pixel sizes drawn for 96 DPI, scaled to the screen the programs run on.
#pragma once
#include <windows.h>

// Dots per inch of the screen (96 when it cannot be read).
int ScreenDpi();
// pixels at 96 DPI, scaled to ScreenDpi().
int ScaleForDpi(int pixels);
