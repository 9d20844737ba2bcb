// Where the manager's reports go: a Save As dialog in the user's Documents folder with the
// report's usual name filled in; what was written is opened (the settings export says where it
// went), and a write Windows refused is told, never lost.
#pragma once
#include <windows.h>
#include <commdlg.h>

enum ReportKind {
    REPORT_LOG = 1,       // the HTML or text report (option Format)
    REPORT_LIST = 2,      // the saved list for a spreadsheet
    REPORT_HIJACK = 3,    // the hijack scan log
    REPORT_SETTINGS = 4,  // the registry export of the settings
};

// 1 when the report was written; 0 when the user cancelled or the write failed (told).
int SaveReport(HWND owner, int kind);

// Tests: stands in for GetSaveFileNameA (nullptr: the system's dialog).
typedef BOOL (*SaveDialogHook)(OPENFILENAMEA* dialog);
void SetSaveDialogHook(SaveDialogHook hook);
