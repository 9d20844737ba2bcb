#include "exmain.h"
#include "program.h"
#include "resource.h"
#include "resstring.h"

int ExplorerMain(HINSTANCE, const char*, int)
{
    g_programKind = PROGRAM_EXPLORER;
    InitUiLanguage();
    LoadResString(IDS_CAPTION, g_programCaption, sizeof(g_programCaption));
    return 0;
}
