#include "elevate.h"
#include "elevation.h"
#include "handles.h"
#include "program.h"
#include "refusal.h"
#include "runactions.h"
#include "startupfiles.h"
#include "addonactions.h"
#include "delaystart.h"
#include "taskstop.h"
#include "addons.h"
#include "pagecommands.h"
#include "resstring.h"
#include "serviceactions.h"
#include "taskactions.h"
#include "undo.h"
#include "vault.h"
#include "writefault.h"
#include <commctrl.h>
#include <shellapi.h>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

static ElevatedRunner g_runner;

void SetElevatedRunner(ElevatedRunner runner) { g_runner = runner; }

static const char kSwitch[] = "-Elevated";

// The startup entries that are the machine's, not the user's.
static int MachineStartupEntry(const EntryRecord& r)
{
    int base = r.type % 10, root = r.type / 10;
    if (r.type < WIN_LOAD && base >= 1 && base <= 7)
        return IsMachineRunCode(r.type) || root == 2;   // HKLM, or the default user's keys
    switch (r.type) {
    case WIN_LOAD:
    case WIN_RUN:
        return 1;   // win.ini in the Windows folder
    case GROUP_STARTUP:
        return IsCommonStartupItem(r.source, r.command);
    }
    return r.type >= WINLOGON_Userinit && r.type <= REG_AppInitDLLs32;
}

// Registered under HKLM; today's browsers' settings are only shown, never changed here.
static int MachineAddOn(const EntryRecord& r)
{
    return r.type == TYPE_BHO || r.type == TYPE_TOOLBAR || r.type == TYPE_EXTENSION ||
           r.type == TYPE_BHO32;
}

// The task store, the system folders, the restart's rename list (HKLM) and the services
// are the machine's whatever the entry.
static int Always(const EntryRecord&) { return 1; }

static int TaskResult(HRESULT hr)
{
    if (hr == S_OK)
        return 1;
    NoteWriteRefusal(hr == S_FALSE                        ? ERROR_FILE_NOT_FOUND
                     : HRESULT_FACILITY(hr) == FACILITY_WIN32 ? HRESULT_CODE(hr)
                                                             : (DWORD)hr);
    return 0;
}

// Each action as the copy performs it: 1 done, 0 failed (the refusal is told), -1 failed and
// already told.
static int DoToggle(const EntryRecord& r) { return DisableRunProgram(r.title, r.command, r.source, r.type) != 0; }
static int DoRemove(const EntryRecord& r) { return DeleteRunProgram(r.title, r.command, r.source, r.type) != 0; }
static int DoAddOnRemove(const EntryRecord& r)
{
    ListBrowserAddOns();   // the removal finds every registration of the server in the list
    int removed = RemoveAddOn(r.command, 0);
    ClearEntries();
    return removed > 0;
}
static int DoTaskRemove(const EntryRecord& r) { return TaskResult(RemoveScheduledTask(r.title)); }
static int DoTaskEnable(const EntryRecord& r) { return TaskResult(SetScheduledTaskEnabled(r.title, 1)); }
static int DoTaskDisable(const EntryRecord& r) { return TaskResult(SetScheduledTaskEnabled(r.title, 0)); }
static int DoUnhide(const EntryRecord& r) { return UnhideFile(r.command) != 0; }
static int DoHiddenDelete(const EntryRecord& r)
{
    ListedState why = LISTED_OPEN;
    if (CondemnHiddenFile(r.title, r.command, &why))
        return 1;
    if (why == LISTED_ELSEWHERE) {
        ShowDeleteRefusal(nullptr, RESTART_ELSEWHERE, r.command);
        return -1;
    }
    return 0;
}
static int DoDeleteAtRestart(const EntryRecord& r)
{
    int result = DeleteFileAtRestart(r.command);
    if (result < 0) {
        ShowDeleteRefusal(nullptr, result, r.command);
        return -1;
    }
    return result > 0;
}
static int DoRestoreEntry(const EntryRecord& r)
{
    return RestoreEntry(r.title, r.command, r.source, r.type) != 0;
}
static int DoHiddenRestore(const EntryRecord& r)
{
    return RestoreHiddenFromVault(r.title, r.command, r.source) != 0;
}
static int DoReRegister(const EntryRecord& r) { return ReRegisterHelper(r.command) != 0; }
static int DoServiceStart(const EntryRecord& r)
{
    return SetServiceStartType(r.source, (DWORD)r.type) != 0;
}
static int DoServiceStop(const EntryRecord& r)
{
    return SendServiceControl(r.source, SERVICE_CONTROL_STOP) != 0;
}

// The machine's store of delayed programs, or an entry whose startup place is the machine's.
static int MachineDelayStore(const EntryRecord& r) { return r.tag == 0; }
static int MachineDelayEntry(const EntryRecord& r)
{
    return r.tag == 0 || MachineStartupEntry(r);
}
static int DoDelayDrop(const EntryRecord& r)
{
    return DeleteDelayValues(HKEY_LOCAL_MACHINE, r.command) != 0;
}
static int DoDelayRestore(const EntryRecord& r)
{
    EntryRecord entry = r;
    entry.type = r.type % DELAY_TAG_STEP;
    entry.tag = r.type / DELAY_TAG_STEP;
    return RestoreDelayedRecord(entry) != 0;
}
static int DoDelayOptions(const EntryRecord& r)
{
    return StoreDelayOptions(HKEY_LOCAL_MACHINE, r.command, r.type / 4, r.type % 4, r.source,
                             r.title) != 0;
}
static int DoDelayMove(const EntryRecord& r)
{
    int moved = MoveToDelayedStart(nullptr, r.title, r.command, r.source, r.type % DELAY_TAG_STEP,
                                   r.type / DELAY_TAG_STEP);
    // Not moved without a refused write: the user cancelled, or was told why.
    return moved > 0 ? 1 : LastWriteRefusal() ? 0 : -1;
}
static int DoDelayAdd(const EntryRecord& r) { return AddDelayedProgram(r.command, 1) != 0; }
static int DoTerminate(const EntryRecord& r)
{
    DWORD error = 0;
    if (EndListedProcess((DWORD)r.type, r.command, r.title, &error))
        return 1;
    if (error == ERROR_NOT_FOUND) {
        // Not the process the user was shown: nothing was ended.
        AskResString(nullptr, 1750, r.command, MB_OK | MB_ICONINFORMATION);
        return -1;
    }
    NoteWriteRefusal(error);
    return 0;
}

// Which field must not be empty: the copy acts on nothing else.
enum { NEED_TITLE = 1, NEED_COMMAND = 2, NEED_SOURCE = 4 };

static const struct VerbDef {
    int verb;
    int needs;
    int (*machineWide)(const EntryRecord& r);
    int (*perform)(const EntryRecord& r);
} kVerbs[] = {
    {ELEVATED_TOGGLE, NEED_TITLE, MachineStartupEntry, DoToggle},
    {ELEVATED_REMOVE, NEED_TITLE, MachineStartupEntry, DoRemove},
    {ELEVATED_ADDON_REMOVE, NEED_COMMAND, MachineAddOn, DoAddOnRemove},
    {ELEVATED_TASK_REMOVE, NEED_TITLE, Always, DoTaskRemove},
    {ELEVATED_TASK_ENABLE, NEED_TITLE, Always, DoTaskEnable},
    {ELEVATED_TASK_DISABLE, NEED_TITLE, Always, DoTaskDisable},
    {ELEVATED_UNHIDE, NEED_COMMAND, Always, DoUnhide},
    {ELEVATED_HIDDEN_DELETE, NEED_COMMAND, Always, DoHiddenDelete},
    {ELEVATED_DELETE_AT_RESTART, NEED_COMMAND, Always, DoDeleteAtRestart},
    {ELEVATED_SERVICE_START, NEED_SOURCE, Always, DoServiceStart},
    {ELEVATED_SERVICE_STOP, NEED_SOURCE, Always, DoServiceStop},
    {ELEVATED_RESTORE_ENTRY, NEED_TITLE, MachineStartupEntry, DoRestoreEntry},
    {ELEVATED_HIDDEN_RESTORE, NEED_COMMAND, Always, DoHiddenRestore},
    {ELEVATED_REREGISTER, NEED_COMMAND, Always, DoReRegister},
    {ELEVATED_DELAY_DROP, NEED_COMMAND, MachineDelayStore, DoDelayDrop},
    {ELEVATED_DELAY_RESTORE, NEED_COMMAND, MachineDelayEntry, DoDelayRestore},
    {ELEVATED_DELAY_OPTIONS, NEED_COMMAND, MachineDelayStore, DoDelayOptions},
    {ELEVATED_DELAY_ADD, NEED_COMMAND, Always, DoDelayAdd},
    {ELEVATED_TERMINATE, NEED_COMMAND, Always, DoTerminate},
    {ELEVATED_DELAY_MOVE, NEED_TITLE, MachineStartupEntry, DoDelayMove},
};

static const VerbDef* FindVerb(int verb)
{
    for (const VerbDef& v : kVerbs)
        if (v.verb == verb)
            return &v;
    return nullptr;
}

int NeedsElevationFor(int verb, const EntryRecord& r)
{
    const VerbDef* v = FindVerb(verb);
    return v && !IsElevated() && v->machineWide(r);
}

int NeedsElevation(const EntryRecord& r) { return NeedsElevationFor(ELEVATED_TOGGLE, r); }

// Each text as hex digits ("-" when empty): nothing in a title or command can end an
// argument or be read as another switch.
static std::string Hex(const char* text)
{
    if (!text[0])
        return "-";
    std::string out;
    char pair[3];
    for (const unsigned char* p = (const unsigned char*)text; *p; p++) {
        snprintf(pair, sizeof(pair), "%02X", *p);
        out += pair;
    }
    return out;
}

static bool Unhex(const std::string& hex, char* out, int capacity)
{
    out[0] = 0;
    if (hex == "-")
        return true;
    if (hex.empty() || hex.size() % 2 || (int)(hex.size() / 2) >= capacity)
        return false;
    for (size_t i = 0; i < hex.size(); i += 2) {
        char pair[3] = {hex[i], hex[i + 1], 0};
        char* end = nullptr;
        unsigned long value = strtoul(pair, &end, 16);
        if (*end || !value || !isxdigit((unsigned char)pair[0]))
            return false;
        out[i / 2] = (char)value;
    }
    out[hex.size() / 2] = 0;
    return true;
}

std::string ElevatedParameters(int verb, const EntryRecord& r)
{
    char numbers[32];
    snprintf(numbers, sizeof(numbers), " %d %d ", verb, r.type);
    return kSwitch + std::string(numbers) + Hex(r.title) + " " + Hex(r.command) + " " + Hex(r.source);
}

int RunElevatedSwitch(const char* commandLine, int* exitCode)
{
    const char* p = commandLine;
    while (*p == ' ')
        p++;
    if (_strnicmp(p, kSwitch, sizeof(kSwitch) - 1) != 0 || p[sizeof(kSwitch) - 1] != ' ')
        return 0;
    std::string fields[5];
    int count = 0;
    for (p += sizeof(kSwitch); *p && count < 6;) {
        while (*p == ' ')
            p++;
        const char* end = p;
        while (*end && *end != ' ')
            end++;
        if (end > p) {
            if (count < 5)
                fields[count] = std::string(p, end);
            count++;
        }
        p = end;
    }
    EntryRecord r = {};
    int verb = atoi(fields[0].c_str());
    r.type = atoi(fields[1].c_str());
    *exitCode = 1;
    const VerbDef* v = FindVerb(verb);
    if (count != 5 || !v || !Unhex(fields[2], r.title, sizeof(r.title)) ||
        !Unhex(fields[3], r.command, sizeof(r.command)) ||
        !Unhex(fields[4], r.source, sizeof(r.source)) || ((v->needs & NEED_TITLE) && !r.title[0]) ||
        ((v->needs & NEED_COMMAND) && !r.command[0]) || ((v->needs & NEED_SOURCE) && !r.source[0]) ||
        (verb == ELEVATED_SERVICE_START && (r.type < SERVICE_AUTO_START || r.type > SERVICE_DISABLED)) ||
        (verb >= ELEVATED_DELAY_DROP && r.type < 0) ||
        (verb == ELEVATED_DELAY_OPTIONS && r.type % 4 > 2) ||
        (verb == ELEVATED_TERMINATE && r.type <= 0))
        return 1;   // not a line this program writes: nothing is done
    ClearWriteRefusal();
    int done = v->perform(r);
    if (!done) {
        NoteActionFailure();
        TellRefusal(nullptr);
    }
    *exitCode = done > 0 ? 0 : 1;
    return 1;
}

int RunElevated(HWND owner, int verb, const EntryRecord& r)
{
    char file[MAX_PATH + 16];
    ProgramFilePath("KestrixEx.exe", file, sizeof(file));
    std::string parameters = ElevatedParameters(verb, r);
    int exitCode = ELEVATED_NOT_STARTED;
    if (g_runner) {
        exitCode = g_runner(file, parameters.c_str());
    } else {
        SHELLEXECUTEINFOA info = {};
        info.cbSize = sizeof(info);
        info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC | SEE_MASK_FLAG_NO_UI;
        info.hwnd = owner;
        info.lpVerb = "runas";
        info.lpFile = file;
        info.lpParameters = parameters.c_str();
        info.nShow = SW_SHOWNORMAL;
        if (ShellExecuteExA(&info)) {
            Handle process(info.hProcess);
            DWORD code = 1;
            if (!process || WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
                !GetExitCodeProcess(process.get(), &code))
                code = 1;
            exitCode = (int)code;
        } else if (GetLastError() == ERROR_CANCELLED) {
            exitCode = -1;
        }
    }
    if (exitCode == ELEVATED_NOT_STARTED) {
        // No elevated copy (no such file, no prompt allowed, a policy): said, nothing changed.
        DWORD error = GetLastError();
        ClearWriteRefusal();
        NoteWriteRefusal(error ? error : ERROR_ACCESS_DENIED);
        TellRefusal(owner);
        return 0;
    }
    return exitCode == -1 ? -1 : exitCode == 0 ? 1 : 0;
}

void ShowShield(HWND button, int shown)
{
    SendMessageA(button, BCM_SETSHIELD, 0, shown ? TRUE : FALSE);
}

// The shield as a small picture for menus, made once and kept while the program runs;
// nullptr where the system has no shield icon.
static HBITMAP ShieldBitmap()
{
    static GdiObject bitmap;
    static bool tried;
    if (tried)
        return (HBITMAP)bitmap.get();
    tried = true;
    int cx = GetSystemMetrics(SM_CXSMICON), cy = GetSystemMetrics(SM_CYSMICON);
    SHSTOCKICONINFO info = {};
    info.cbSize = sizeof(info);
    HICON icon = nullptr;
    bool owned = SUCCEEDED(SHGetStockIconInfo(SIID_SHIELD, SHGSI_ICON | SHGSI_SMALLICON, &info));
    if (owned)
        icon = info.hIcon;
    else
        icon = (HICON)LoadImageA(nullptr, MAKEINTRESOURCEA(32518) /* IDI_SHIELD */, IMAGE_ICON,
                                 cx, cy, LR_SHARED);
    if (!icon)
        return nullptr;
    BITMAPINFO format = {};
    format.bmiHeader.biSize = sizeof(format.bmiHeader);
    format.bmiHeader.biWidth = cx;
    format.bmiHeader.biHeight = -cy;
    format.bmiHeader.biPlanes = 1;
    format.bmiHeader.biBitCount = 32;
    format.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HDC screen = GetDC(nullptr);
    HBITMAP made = CreateDIBSection(screen, &format, DIB_RGB_COLORS, &bits, nullptr, 0);
    HDC dc = CreateCompatibleDC(screen);
    if (made && dc) {
        HGDIOBJ old = SelectObject(dc, made);
        DrawIconEx(dc, 0, 0, icon, cx, cy, 0, nullptr, DI_NORMAL);
        SelectObject(dc, old);
        bitmap.reset(made);
    } else if (made) {
        DeleteObject(made);
    }
    if (dc)
        DeleteDC(dc);
    ReleaseDC(nullptr, screen);
    if (owned)
        DestroyIcon(icon);
    return (HBITMAP)bitmap.get();
}

void MarkMenuShield(HMENU menu, int command)
{
    MENUITEMINFOA item = {};
    item.cbSize = sizeof(item);
    if (HBITMAP shield = ShieldBitmap()) {
        item.fMask = MIIM_BITMAP;
        item.hbmpItem = shield;
        SetMenuItemInfoA(menu, command, FALSE, &item);
        return;
    }
    char text[256] = "", mark[64] = "";
    if (!GetMenuStringA(menu, command, text, sizeof(text) - sizeof(mark) - 2, MF_BYCOMMAND) ||
        !LoadResString(1700, mark, sizeof(mark)))
        return;
    lstrcatA(text, " ");
    lstrcatA(text, mark);
    item.fMask = MIIM_STRING;
    item.dwTypeData = text;
    SetMenuItemInfoA(menu, command, FALSE, &item);
}
