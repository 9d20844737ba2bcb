#include "sharedui.h"
#include "dialogs_pages.h"
#include "dpi.h"
#include "keys.h"
#include "options.h"
#include "registry.h"

SharedFonts g_fonts;
SharedBitmaps g_bitmaps;
static int g_made;

// Heights are pixels at 96 DPI (negative: character height); the dialogs grow with the
// screen's DPI, so the fonts drawn into them must too.
static HFONT Font(const char* face, int height, int weight, int underline = 0)
{
    return CreateFontA(ScaleForDpi(height), 0, 0, 0, weight, FALSE, underline, FALSE, ANSI_CHARSET,
                       OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                       DEFAULT_PITCH | FF_DONTCARE, face);
}

static HBITMAP Bitmap(int id)
{
    // The grey background of the bitmaps becomes the button face colour. They are drawn for
    // 96 DPI and grow with the dialogs they sit in, smoothed rather than in blocks.
    HBITMAP original = (HBITMAP)LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id),
                                           IMAGE_BITMAP, 0, 0, LR_LOADMAP3DCOLORS);
    BITMAP size;
    if (!original || ScreenDpi() == 96 || !GetObjectA(original, sizeof(size), &size))
        return original;
    int width = ScaleForDpi(size.bmWidth), height = ScaleForDpi(size.bmHeight);
    HDC screen = GetDC(nullptr);
    HDC from = CreateCompatibleDC(screen), to = CreateCompatibleDC(screen);
    HBITMAP scaled = CreateCompatibleBitmap(screen, width, height);
    if (from && to && scaled) {
        HGDIOBJ oldFrom = SelectObject(from, original), oldTo = SelectObject(to, scaled);
        SetStretchBltMode(to, HALFTONE);
        SetBrushOrgEx(to, 0, 0, nullptr);
        StretchBlt(to, 0, 0, width, height, from, 0, 0, size.bmWidth, size.bmHeight, SRCCOPY);
        SelectObject(from, oldFrom);
        SelectObject(to, oldTo);
    }
    if (from)
        DeleteDC(from);
    if (to)
        DeleteDC(to);
    ReleaseDC(nullptr, screen);
    if (!scaled)
        return original;
    DeleteObject(original);
    return scaled;
}

void CreateSharedUi()
{
    if (g_made)
        return;
    g_made = 1;
    SharedFonts& f = g_fonts;
    f.verdana18Bold = Font("Verdana", 18, 600);
    f.arial18 = Font("Arial", 18, 500);
    f.arialLink = Font("Arial", -18, 500, 1);
    f.sansBold14 = Font("MS Sans Serif", 14, 600);
    f.sansBold10 = Font("MS Sans Serif", 10, 600);
    f.sans12 = Font("MS Sans Serif", 12, 500);
    f.arial14 = Font("Arial", 14, 400);
    f.shellBold14 = Font("MS Shell Dlg", 14, 700);
    f.shell14 = Font("MS Shell Dlg", 14, 500);
    char face[64];
    if (!GetRegValue(HKEY_CURRENT_USER, KX_OPTIONS_KEY, "NoteFont", face, sizeof(face)))
        lstrcpyA(face, "Arial");
    f.note = Font(face, -GetOption("NoteSize", 14), 500);

    SharedBitmaps& b = g_bitmaps;
    b.help = Bitmap(IDB_HELP);
    b.helpPressed = Bitmap(IDB_HELP_PRESSED);
    b.helpHover = Bitmap(IDB_HELP_HOVER);
    b.monitorOff = Bitmap(IDB_MONITOR_OFF);
    b.monitorPressed = Bitmap(IDB_MONITOR_PRESSED);
    b.monitorOn = Bitmap(IDB_MONITOR_ON);
    b.monitorRealtime = Bitmap(IDB_MONITOR_REALTIME);
    b.folder = Bitmap(IDB_FOLDER);
    b.folderPressed = Bitmap(IDB_FOLDER_PRESSED);
    b.folderHover = Bitmap(IDB_FOLDER_HOVER);
}

void DestroySharedUi()
{
    if (!g_made)
        return;
    for (HFONT* font = &g_fonts.verdana18Bold; font <= &g_fonts.note; font++)
        if (*font)
            DeleteObject(*font);
    for (HBITMAP* bitmap = &g_bitmaps.help; bitmap <= &g_bitmaps.folderHover; bitmap++)
        if (*bitmap)
            DeleteObject(*bitmap);
    g_fonts = SharedFonts();
    g_bitmaps = SharedBitmaps();
    g_made = 0;
}
