#include "reportsave.h"
#include "datapaths.h"
#include "hijacklog.h"
#include "options.h"
#include "refusal.h"
#include "regexport.h"
#include "reportfile.h"
#include "reportlog.h"
#include "resstring.h"
#include "savedlist.h"
#include "sysmessage.h"
#include "textutil.h"
#include "writefault.h"
#include <cstdio>
#include <string>

static SaveDialogHook g_dialogHook;

void SetSaveDialogHook(SaveDialogHook hook) { g_dialogHook = hook; }

namespace {

int WriteHtmlLog(const char* path) { return WriteReportLogTo(path, 1); }
int WriteTextLog(const char* path) { return WriteReportLogTo(path, 0); }

struct KindDef {
    int kind;
    const char* name;        // nullptr: the user's name before "-Kestrix.reg"
    const char* filter;      // pairs of description and pattern, ending with an empty one
    const char* extension;   // added when the user types none
    int (*write)(const char* path);
};

// The report log's form follows the Format option: one row for each.
const KindDef kKinds[] = {
    {REPORT_LOG, "KestrixLog.html", "Web page (*.html)\0*.html;*.htm\0All files\0*.*\0", "html",
     WriteHtmlLog},
    {-REPORT_LOG, "KestrixLog.txt", "Text (*.txt)\0*.txt\0All files\0*.*\0", "txt", WriteTextLog},
    {REPORT_LIST, "KestrixLog.csv", "Comma-separated values (*.csv)\0*.csv\0All files\0*.*\0",
     "csv", WriteSavedListTo},
    {REPORT_HIJACK, "HijackKestrix.log", "Log (*.log)\0*.log\0All files\0*.*\0", "log",
     WriteHijackScanLogTo},
    {REPORT_SETTINGS, nullptr, "Registration entries (*.reg)\0*.reg\0All files\0*.*\0", "reg",
     ExportSettingsTo},
};

const KindDef* FindKind(int kind)
{
    if (kind == REPORT_LOG && GetOption("Format", 0) != 0)
        kind = -REPORT_LOG;
    for (const KindDef& k : kKinds)
        if (k.kind == kind)
            return &k;
    return nullptr;
}

// "%1 could not be written." with the system's reason.
void TellNotWritten(HWND owner, const char* path, DWORD error)
{
    char format[512] = "", reason[512] = "";
    LoadResString(1701, format, sizeof(format));
    if (!FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                        0, reason, sizeof(reason), nullptr))
        snprintf(reason, sizeof(reason), "Error %lu", (unsigned long)error);
    KxMessageBox(owner, FillText(format, {path, reason}).c_str(), MB_OK | MB_ICONSTOP | MB_TOPMOST);
}

}   // namespace

int SaveReport(HWND owner, int kind)
{
    const KindDef* k = FindKind(kind);
    if (!k)
        return 0;
    char path[MAX_PATH * 2] = "", folder[MAX_PATH] = "";
    if (k->name) {
        lstrcpynA(path, k->name, MAX_PATH);
    } else {
        char user[228] = "";
        DWORD length = sizeof(user);
        GetUserNameA(user, &length);
        snprintf(path, MAX_PATH, "%s-Kestrix.reg", user);
    }
    DocumentsFolder(folder, sizeof(folder));
    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = k->filter;
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = path;
    dialog.nMaxFile = MAX_PATH;
    dialog.lpstrInitialDir = folder[0] ? folder : nullptr;
    dialog.lpstrDefExt = k->extension;
    dialog.Flags = OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
    if (!(g_dialogHook ? g_dialogHook(&dialog) : GetSaveFileNameA(&dialog)))
        return 0;   // cancelled: nothing to say
    SetLastError(0);
    if (!k->write(path)) {
        DWORD error = GetLastError();
        TellNotWritten(owner, path, error ? error : ERROR_WRITE_FAULT);
        return 0;
    }
    if (kind == REPORT_SETTINGS) {
        char format[512] = "";
        LoadResString(854, format, sizeof(format));
        KxMessageBox(owner, FillText(format, {path}).c_str(), MB_OK | MB_ICONINFORMATION | MB_TOPMOST);
    } else {
        ShellOpen(path);
    }
    return 1;
}
