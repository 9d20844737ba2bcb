#include "delaystart.h"
#include "entrylist.h"
#include "findrun.h"
#include "history.h"
#include "handles.h"
#include "keys.h"
#include "pathutil.h"
#include "registry.h"
#include "runactions.h"
#include "startupfiles.h"
#include "resstring.h"
#include "runtasks.h"
#include "sysmessage.h"
#include "systemfiles.h"
#include "textutil.h"
#include "trace.h"
#include "versioninfo.h"
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <initializer_list>
#include <set>
#include <string>

static const char* const kDelayValueKeys[] = {
    KX_DELAY_KEY,           KX_DELAY_TIME_KEY,   KX_DELAY_PARAMETERS_KEY, KX_DELAY_SHORTCUTS_KEY,
    KX_DELAY_APPLET_KEY,    KX_DELAY_TITLE_KEY,  KX_DELAY_OPENAS_KEY,
};
static const char kApplet[] = "RunDLL32.exe";
static const char kKnownStartupKey[] = KX_KEY "\\Run";

// Machine Run keys of either registry view hold entries for all users.
HKEY DelayRootForCode(int code)
{
    return code <= 10 || IsMachineRunCode(code) ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}
HKEY DelayRootForTag(int tag) { return tag == 0 ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER; }

// Known-startup value names are commands with "=" turned into ":".
static void WriteKnownStartup(const char* command, const char* data)
{
    char name[260];
    lstrcpynA(name, command, sizeof(name));
    KeySafeText(name);
    SetRegValue(HKEY_CURRENT_USER, kKnownStartupKey, name, data);
}

int IsApprovedDelayed(const char* program)
{
    char text[32] = "";
    return GetRegValue(HKEY_CURRENT_USER, KX_DELAY_APPROVED_KEY, program, text, sizeof(text)) > 0 &&
           atoi(text) != 0;
}

void ApproveDelayed(const char* program)
{
    SetRegValue(HKEY_CURRENT_USER, KX_DELAY_APPROVED_KEY, program, "1");
}

static void ShowResMessage(HWND owner, UINT id, UINT flags, int* answer = nullptr)
{
    char text[1024] = "";
    LoadResString(id, text, sizeof(text));
    int result = KxMessageBox(owner, text, flags);
    if (answer)
        *answer = result;
}

int ListDelayedPrograms()
{
    ClearEntries();
    HKEY roots[2] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
    for (int tag = 0; tag < 2; tag++) {
        HKEY root = roots[tag];
        ForEachValueName(root, KX_DELAY_KEY, [&](const std::string& name) {
            const char* program = name.c_str();
            VersionStrings* vs = (VersionStrings*)calloc(1, sizeof(VersionStrings));
            if (!vs)
                return;
            GetVersionStrings(program, vs);
            char title[256] = "", text[64] = "", shortcut[260] = "";
            GetRegValue(root, KX_DELAY_TITLE_KEY, program, title, sizeof(title));
            if (!title[0])
                lstrcpynA(title, vs->slot[VS_PRODUCT_NAME], sizeof(title));
            if (!title[0]) {
                const char* slash = strrchr(program, '\\');
                lstrcpynA(title, slash ? slash + 1 : program, sizeof(title));
            }
            // "Microsoft(R) Windows(R)" says nothing about which program it is.
            if (InMyString(title, "Microsoft\xAE Windows\xAE") &&
                vs->slot[VS_FILE_DESCRIPTION][0])
                lstrcpynA(title, vs->slot[VS_FILE_DESCRIPTION], sizeof(title));
            GetRegValue(root, KX_DELAY_KEY, program, text, sizeof(text));
            int code = atoi(text);
            const char* source = title;
            if (code == GROUP_STARTUP) {
                GetRegValue(root, KX_DELAY_SHORTCUTS_KEY, program, shortcut, sizeof(shortcut));
                source = shortcut;
            }
            AddEntry(title, program, source, vs->slot[VS_FILE_DESCRIPTION], code, tag);
            free(vs);
        });
    }
    return EntryCount();
}

std::vector<StoredDelay> UnapprovedDelayedPrograms()
{
    std::vector<StoredDelay> found;
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER})
        ForEachValueName(root, KX_DELAY_KEY, [&](const std::string& program) {
            if (!program.empty() && !IsApprovedDelayed(program.c_str()))
                found.push_back({root, program});
        });
    return found;
}

int DeleteDelayValues(HKEY root, const char* program)
{
    // A program that leaves the store loses its approval: written there again by someone
    // else, it is asked about.
    DeleteRegValue(HKEY_CURRENT_USER, KX_DELAY_APPROVED_KEY, program);
    int deleted = 0;
    for (const char* key : kDelayValueKeys)
        deleted += DeleteRegValue(root, key, program);
    return deleted > 0;
}

// Writes a newly delayed program's values; 1 only when every value was stored.
static int StoreDelayValues(HKEY root, const char* program, const char* title, int code,
                            const char* parameters, const char* source, int rundll)
{
    char codeText[16];
    snprintf(codeText, sizeof(codeText), "%d", code);
    char delayText[16];
    snprintf(delayText, sizeof(delayText), "%d", DEFAULT_DELAY_SECONDS);
    int ok = SetRegValue(root, KX_DELAY_KEY, program, codeText);
    ok &= SetRegValue(root, KX_DELAY_TITLE_KEY, program, title);
    ok &= SetRegValue(root, KX_DELAY_TIME_KEY, program, delayText);
    if (parameters[0])
        ok &= SetRegValue(root, KX_DELAY_PARAMETERS_KEY, program, parameters);
    ok &= SetRegValue(root, KX_DELAY_SHORTCUTS_KEY, program, source);
    if (rundll)
        ok &= SetRegValue(root, KX_DELAY_APPLET_KEY, program, kApplet);
    return ok;
}

// The split gives the program in upper case. Value names compare without case, so the
// store can keep the program as the command spelled it, and restore gives it back as it was.
static void KeepOriginalCase(const char* command, char* program)
{
    char bare[260];
    StripQuotes(command, bare, sizeof(bare));
    size_t length = strlen(program);
    for (const char* p = bare; strlen(p) >= length; p++)
        if (_strnicmp(p, program, length) == 0) {
            memcpy(program, p, length);
            return;
        }
}

int IsDelayedProgram(HKEY root, const char* program)
{
    RegKey key;
    return key.open(root, KX_DELAY_KEY, KEY_READ) &&
           RegQueryValueExA(key.get(), program, nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS;
}

// The parked file is the delayed program; Shortcuts keeps the item's place for the restore.
// As with any entry leaving its startup place, the history gets the line a restore works
// from; the delayed-start mark is named by the item, as the inventory would list it again.
static int MoveStartupItemToDelayedStart(const char* title, const char* item)
{
    char parked[MAX_PATH * 2];
    if (!ParkStartupItem(item, parked, sizeof(parked)))
        return 0;
    // Approved before it is stored: the monitor, woken by the store's change, finds it known.
    ApproveDelayed(parked);
    if (!StoreDelayValues(HKEY_CURRENT_USER, parked, title, GROUP_STARTUP, "", item, 0)) {
        DeleteDelayValues(HKEY_CURRENT_USER, parked);
        UnparkStartupItem(parked, item);
        return 0;
    }
    if (!IsOwnMonitorCommand(item))
        WriteHistoryLine(title, parked, item, GROUP_STARTUP, ACT_START_REMOVE);
    char mark[16];
    snprintf(mark, sizeof(mark), "%d", DELAY_MARK);
    WriteKnownStartup(item, mark);
    return 1;
}

int MoveToDelayedStart(HWND owner, const char* title, const char* command, const char* source,
                       int code, int tag)
{
    Trace("MoveToDelayedStart - delaystart", command);
    if (code > 249) {
        ShowResMessage(owner, 1130, MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    if (IsOwnMonitorCommand(command)) {
        ShowResMessage(owner, 1130, MB_OK | MB_ICONINFORMATION);
        return -1;
    }
    // A startup-folder item that is not a shortcut may be the program itself: it is parked
    // and started from there.
    const char* item = source[0] ? source : command;
    if (code == GROUP_STARTUP && !IsStartupShortcut(item))
        return MoveStartupItemToDelayedStart(title, item);

    char program[260] = "", parameters[260] = "";
    SplitProgram(command, program, parameters);
    if (!program[0])
        return 0;
    KeepOriginalCase(command, program);

    bool allUsers = code <= 9 || IsMachineRunCode(code);
    HKEY root = allUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    // The store holds one record per program file and root: a second entry of the same
    // program would overwrite the first one's title, arguments and origin.
    if (IsDelayedProgram(root, program)) {
        ShowResMessage(owner, 1131, MB_OK | MB_ICONINFORMATION);
        return 0;
    }
    if (allUsers) {
        int answer = 0;
        ShowResMessage(owner, 1120, MB_OKCANCEL | MB_ICONQUESTION, &answer);
        if (answer != IDOK)
            return 0;
    }

    // A program delayed before under the same name starts afresh: no arguments, applet or
    // window state of the earlier entry may carry over.
    DeleteDelayValues(root, program);
    // Approved before it is stored: the monitor, woken by the store's change, finds it known.
    ApproveDelayed(program);
    // The entry leaves its startup location only once its delayed copy is safely stored,
    // and stays delayed only when it really left.
    if (!StoreDelayValues(root, program, title, code, parameters, source, tag == 1) ||
        !DeleteRunProgram(title, command, source, code)) {
        DeleteDelayValues(root, program);
        return 0;
    }
    char mark[16];
    snprintf(mark, sizeof(mark), "%d", DELAY_MARK);
    WriteKnownStartup(command, mark);
    return 1;
}

int AddDelayedProgram(const char* program, int allUsers)
{
    if (!program || !program[0])
        return 0;
    HKEY root = allUsers ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
    // A delayed entry's origin must not be overwritten: restore puts it back there.
    if (IsDelayedProgram(root, program))
        return 0;
    char delayText[16];
    snprintf(delayText, sizeof(delayText), "%d", DEFAULT_DELAY_SECONDS);
    ApproveDelayed(program);
    int ok = SetRegValue(root, KX_DELAY_KEY, program, allUsers ? "1" : "11");
    ok &= SetRegValue(root, KX_DELAY_TIME_KEY, program, delayText);
    return ok;
}

static int ShowStateFor(HKEY root, const char* storeName)
{
    char text[32] = "";
    GetRegValue(root, KX_DELAY_OPENAS_KEY, storeName, text, sizeof(text));
    switch (atoi(text)) {
    case 1:
        return SW_MINIMIZE;
    case 2:
        return SW_SHOWMAXIMIZED;
    default:
        return SW_SHOWNORMAL;
    }
}

int LaunchWithWinExec(const char* program, int show)
{
    char line[300];
    if (strchr(program, ' ') && program[0] != '"')
        snprintf(line, sizeof(line), "\"%s\"", program);
    else
        lstrcpynA(line, program, sizeof(line));
    return WinExec(line, (UINT)show) > 31;
}

int LaunchProgram(HWND owner, HKEY root, const char* storeName, const char* file,
                  const char* parameters)
{
    Trace("LaunchProgram - delaystart", file);
    if (owner)
        SetForegroundWindow(owner);
    int show = ShowStateFor(root, storeName);
    SHELLEXECUTEINFOA info = {};
    info.cbSize = sizeof(info);
    // Nothing is shown when a program cannot be started: the user is not at the screen.
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = owner;
    info.lpVerb = "open";
    info.lpFile = file;
    info.lpParameters = parameters && parameters[0] ? parameters : nullptr;
    info.nShow = show;
    if (ShellExecuteExA(&info))
        return 1;
    return LaunchWithWinExec(file, show);
}

// A path with blanks is quoted wherever it becomes part of a command line.
static void AppendQuoted(std::string& line, const char* path)
{
    if (strchr(path, ' ') && path[0] != '"')
        line += std::string("\"") + path + "\"";
    else
        line += path;
}

static const char* SkipBlanks(const char* text)
{
    while (*text == ' ')
        text++;
    return text;
}

// Starts one delayed program: through its applet with the program and the arguments as
// the applet's parameters, else the program itself with its arguments.
static int StartDelayed(HWND owner, HKEY root, const char* storeName, const char* file)
{
    char parameters[1024] = "", applet[260] = "";
    GetRegValue(root, KX_DELAY_PARAMETERS_KEY, storeName, parameters, sizeof(parameters));
    GetRegValue(root, KX_DELAY_APPLET_KEY, storeName, applet, sizeof(applet));
    if (applet[0]) {
        std::string line;
        AppendQuoted(line, file);
        line += parameters;
        // The applet is stored by its bare name ("RunDLL32.exe"): the System folder's, never
        // one found first in the current folder.
        std::string program = strchr(applet, '\\') ? std::string(applet) : SystemFilePath(applet);
        return LaunchProgram(owner, root, storeName, program.c_str(), line.c_str());
    }
    return LaunchProgram(owner, root, storeName, file, parameters);
}

int LaunchDelayedProgram(HWND owner, HKEY root, const char* program)
{
    return StartDelayed(owner, root, program, program);
}

void BuildRestoreCommand(const char* program, const char* parameters, const char* applet,
                         int code, char* out, int capacity)
{
    std::string line;
    if (applet && applet[0]) {
        line += applet;
        line += ' ';
    }
    // A shortcut target is a path, not a command line: no quotes there.
    if (code == GROUP_STARTUP)
        line += program;
    else
        AppendQuoted(line, program);
    const char* arguments = SkipBlanks(parameters ? parameters : "");
    if (arguments[0]) {
        // RUNDLL32 arguments begin with the comma that follows the DLL.
        if (arguments[0] != ',')
            line += ' ';
        line += arguments;
    }
    lstrcpynA(out, line.c_str(), capacity);
}

int RestoreDelayedProgram(int index)
{
    const EntryRecord* entry = GetEntry(index);
    return entry ? RestoreDelayedRecord(*entry) : 0;
}

int StoreDelayOptions(HKEY root, const char* program, int seconds, int openAs,
                      const char* parameters, const char* title)
{
    char text[16];
    snprintf(text, sizeof(text), "%d", seconds);
    int ok = SetRegValue(root, KX_DELAY_TIME_KEY, program, text);
    snprintf(text, sizeof(text), "%d", openAs);
    ok &= SetRegValue(root, KX_DELAY_OPENAS_KEY, program, text);
    ok &= SetRegValue(root, KX_DELAY_PARAMETERS_KEY, program, parameters);
    ok &= SetRegValue(root, KX_DELAY_TITLE_KEY, program, title);
    return ok;
}

int RestoreDelayedRecord(const EntryRecord& record)
{
    const EntryRecord* entry = &record;
    HKEY root = DelayRootForTag(entry->tag);
    const char* program = entry->command;
    char parameters[1024] = "", applet[260] = "", title[256] = "";
    GetRegValue(root, KX_DELAY_PARAMETERS_KEY, program, parameters, sizeof(parameters));
    GetRegValue(root, KX_DELAY_APPLET_KEY, program, applet, sizeof(applet));
    // The startup value goes back under the name it had, not the title shown in the list.
    GetRegValue(root, KX_DELAY_TITLE_KEY, program, title, sizeof(title));
    if (!title[0])
        lstrcpynA(title, entry->title, sizeof(title));
    char command[1024];
    BuildRestoreCommand(program, parameters, applet, entry->type, command, sizeof(command));
    Trace("RestoreDelayedProgram - delaystart", command);

    // The delayed copy is dropped only once the entry is back in its startup location.
    if (!RestoreEntry(title, command, entry->source, entry->type))
        return 0;
    // The startup inventory lists the command without quotes: that name must be the one
    // known with the entry's code (it replaces the delayed-start mark). A parked item is
    // listed by the place it went back to.
    char bare[260];
    StripQuotes(command, bare, sizeof(bare));
    if (entry->type == GROUP_STARTUP && entry->source[0] && !IsStartupShortcut(entry->source))
        lstrcpynA(bare, entry->source, sizeof(bare));
    char codeText[16];
    snprintf(codeText, sizeof(codeText), "%d", entry->type);
    WriteKnownStartup(bare, codeText);
    DeleteDelayValues(root, program);
    return 1;
}

int AskDelayedRemoval(HWND owner)
{
    int answer = 0;
    ShowResMessage(owner, 1134, MB_YESNOCANCEL | MB_ICONQUESTION, &answer);
    return answer == IDYES || answer == IDNO ? answer : IDCANCEL;
}

int RestoreDelayedEntry(HWND owner, int index)
{
    const EntryRecord* entry = GetEntry(index);
    if (!entry)
        return 0;
    int answer = AskDelayedRemoval(owner);
    if (answer == IDCANCEL)
        return -1;
    if (answer == IDYES)
        return RestoreDelayedProgram(index);
    return DeleteDelayValues(DelayRootForTag(entry->tag), entry->command) ? 1 : 0;
}

int RestoreAllDelayed()
{
    int count = ListDelayedPrograms();
    int restored = 0;
    for (int i = 0; i < count; i++)
        restored += RestoreDelayedProgram(i);
    ClearEntries();
    return restored;
}

// The monitor's schedule. One pass every twelve seconds; pass k has the step time
// 10 x k seconds and starts every program whose delay has come by then.
static const DWORD kPassMs = 12000;

static struct {
    HWND owner;
    DWORD startMs;
    int total;
    int handled;
    int pass;
    int ended;
    int running;
    std::set<std::string> done;
} g_delay;

int DelayedStartBegin(HWND owner, DWORD nowMs)
{
    g_delay.owner = owner;
    g_delay.startMs = nowMs;
    g_delay.handled = 0;
    g_delay.pass = 0;
    g_delay.done.clear();
    g_delay.total = ListDelayedPrograms();
    ClearEntries();
    g_delay.ended = g_delay.total == 0;
    return g_delay.total;
}

int DelayedStartHandled() { return g_delay.handled; }
int DelayedStartStepSeconds() { return g_delay.pass * 10; }

int DelayedStartStep(DWORD nowMs)
{
    if (g_delay.ended)
        return 0;
    // A shell call that pumps messages could deliver the next tick inside this pass.
    if (g_delay.running)
        return 1;
    struct Running {
        Running() { g_delay.running = 1; }
        ~Running() { g_delay.running = 0; }
    } running;
    // Timer ticks are lost while the window thread is busy; the clock keeps the step
    // time from falling behind the monitor's real running time.
    int due = (int)((nowMs - g_delay.startMs) / kPassMs);
    g_delay.pass = due > g_delay.pass + 1 ? due : g_delay.pass + 1;
    int stepSeconds = g_delay.pass * 10;
    char text[64];
    snprintf(text, sizeof(text), "%d", stepSeconds);
    TraceBegin("DelayedStartStep - delaystart", text);

    int pending = 0;
    HKEY roots[2] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
    for (int r = 0; r < 2; r++) {
        HKEY root = roots[r];
        // What the Delayed Start list shows, and only what was approved: a name written into
        // the store behind Kestrix's back waits for the user's answer to the startup check.
        ForEachValueName(root, KX_DELAY_KEY, [&](const std::string& valueName) {
            const char* name = valueName.c_str();
            std::string key = (r ? "U|" : "M|") + std::string(name);
            CharUpperA(&key[0]);
            if (g_delay.done.count(key) || !IsApprovedDelayed(name))
                return;
            char timeText[32] = "";
            GetRegValue(root, KX_DELAY_TIME_KEY, name, timeText, sizeof(timeText));
            // A delay that is no multiple of ten, or 0, starts at the first pass that
            // reaches it rather than never.
            if (atoi(timeText) > stepSeconds) {
                pending++;
                return;
            }
            char file[260] = "";
            GetProgramFile(name, file);
            if (!file[0])
                lstrcpynA(file, name, sizeof(file));
            if (IsRunning(file))
                Trace("Delayed program already running", file);
            else
                StartDelayed(g_delay.owner, root, name, file);
            g_delay.done.insert(key);
            g_delay.handled++;
        });
    }
    TraceElapsed();
    // Programs that joined the store after the start count too; the schedule ends when
    // nothing is left to start.
    if (pending == 0) {
        g_delay.ended = 1;
        Trace("DelayedStartStep - delaystart", "schedule over");
    }
    return !g_delay.ended;
}
