#include "kxmain.h"
#include "program.h"
#include "resource.h"
#include "resstring.h"

int MonitorMain(HINSTANCE, const char*, int)
{
    g_programKind = PROGRAM_MONITOR;
    InitUiLanguage();
    LoadResString(IDS_CAPTION, g_programCaption, sizeof(g_programCaption));
    return 0;
}
