#include "exmain.h"
#include "baseline.h"
#include "filetypes.h"
#include "options.h"
#include "program.h"
#include "resource.h"
#include "resstring.h"
#include "runactions.h"
#include "switches.h"
#include "sysfiles.h"
#include <objbase.h>

int ExplorerMain(HINSTANCE, const char* commandLine, int)
{
    g_programKind = PROGRAM_EXPLORER;
    InstallEntryActions();
    InitUiLanguage();
    if (!LoadResString(IDS_CAPTION, g_programCaption, sizeof(g_programCaption)))
        return 0;
    if (RunActionSwitches(commandLine))
        return 0;

    CoInitialize(nullptr);
    StartBaseline();
    InitSysFileRecords();
    CreateClassInfo();
    ReadAllOptions();
    CheckDataVersion();
    CoUninitialize();
    return 0;
}
