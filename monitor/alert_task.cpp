// Alert of the scheduled-task check (template 138).
#include "alert.h"
#include "entrylist.h"
#include "history.h"
#include "pathutil.h"
#include "resstring.h"
#include "tasks.h"
#include "taskservice.h"
#include "winpos.h"
#include <cstring>

static void FillTaskAlert(HWND dialog)
{
    InitAlertFrame(dialog, kAlertPos, 718);
    SetDlgItemResString(dialog, 1097, 644);
    VersionStrings strings;
    FillProgramBlock(dialog, g_alert.command, &strings);
    // The task file's extension is not part of its name; a title too short to have one
    // leaves the caption text in the name line. A task of the task service has no file
    // extension: its path is shown whole.
    int length = lstrlenA(g_alert.title);
    if (IsServiceTaskTitle(g_alert.title)) {
        SetDlgItemTextA(dialog, 100, g_alert.title);
    } else if (length > 3) {
        char name[260];
        lstrcpynA(name, g_alert.title, length - 4 + 1);
        SetDlgItemTextA(dialog, 100, name);
    } else {
        char caption[256] = "";
        GetWindowTextA(dialog, caption, sizeof(caption));
        SetDlgItemTextA(dialog, 100, caption);
    }
    char nextRun[128] = "";
    TaskNextRunTime(g_alert.title, nextRun, sizeof(nextRun));
    SetDlgItemTextA(dialog, 1082, nextRun);
    SetDlgItemResString(dialog, 1036, 692);
    char key[260] = "";
    GetProgramFile(g_alert.command, key);
    const char* product = strings.slot[VS_PRODUCT_NAME];
    WriteHistoryLine(product[0] ? product : g_alert.title, key, strings.slot[VS_FILE_DESCRIPTION],
                     TASK_SCHEDULED, ACT_TASK_ALERT);
}

INT_PTR CALLBACK TaskAlertProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        FillTaskAlert(dialog);
        return TRUE;
    }
    return AlertCommonMessage(dialog, message, wParam, lParam);
}
