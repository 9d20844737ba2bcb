// Disabling, enabling, removing and restoring autostart entries. Every move stores the new
// copy before it deletes the old one, so a step that fails (no rights to HKLM, a file in the
// way) leaves the entry where it was.
#include "appinitlist.h"
#include "entrylist.h"
#include "entrystore.h"
#include "findrun.h"
#include "handles.h"
#include "history.h"
#include "keys.h"
#include "pathutil.h"
#include "placeactions.h"
#include "browseranswers.h"
#include "program.h"
#include "protectwarn.h"
#include "registry.h"
#include "resstring.h"
#include "runactions.h"
#include "startupfiles.h"
#include "textutil.h"
#include "trace.h"
#include "winilists.h"
#include "winlogonnotify.h"
#include <cstdio>
#include <cstring>
#include <string>

#define WINLOGON_KEY "SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon"
#define DELAYLOAD_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\ShellServiceObjectDelayLoad"
#define TASKSCHEDULER_KEY \
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\SharedTaskScheduler"
#define EXECUTEHOOKS_KEY "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Explorer\\ShellExecuteHooks"

namespace {

bool ValuePresent(HKEY root, const char* path, const char* name, REGSAM view = 0)
{
    RegKey key;
    return key.open(root, path, KEY_READ | view) &&
           RegQueryValueExA(key.get(), name, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// Deleted, or not there in the first place.
int DeleteValueIfPresent(HKEY root, const char* path, const char* name, REGSAM view = 0)
{
    return DeleteRegValue(root, path, name, view) || !ValuePresent(root, path, name, view);
}

// A Run key of either registry view.
struct RunPlace {
    HKEY root;
    const char* path;
    REGSAM view;
};

bool RunKeyOf(int code, RunPlace* place)
{
    return RunKeyOfCode(code, &place->root, &place->path, &place->view) != 0;
}

// A command as it goes back into a Run value: its program part quoted when it holds a
// blank, since the listed command has lost its quotes.
std::string CommandLineFor(const char* command)
{
    if (strchr(command, '"'))
        return command;
    char program[260] = "", args[260] = "";
    SplitProgram(command, program, args);
    size_t length = strlen(command), argsLength = strlen(args);
    if (!program[0] || argsLength > length ||
        strcmp(command + length - argsLength, args) != 0)
        return command;
    std::string path(command, length - argsLength);
    if (path.find(' ') == std::string::npos)
        return command;
    return "\"" + path + "\"" + args;
}

// --- The two directions of DisableRunProgram. ---

int DisableEntry(const char* title, const char* command, const char* source, int code)
{
    RunPlace run;
    if (RunKeyOf(code, &run)) {
        // The copy is the value as it stands (quotes, type); the listed command only when gone.
        RawText value;
        if (!ReadRawText(run.root, run.path, title, &value, run.view))
            value.text = command;
        if (!StoreDisabledCopy(title, value, code))
            return 0;
        if (!DeleteValueIfPresent(run.root, run.path, title, run.view)) {
            ForgetDisabledCopy(title, code);
            return 0;
        }
        return 1;
    }
    switch (code) {
    case WIN_LOAD:
    case WIN_RUN: {
        // Only a command that is really in the key is disabled; the copy is the piece as
        // it was written there (quotes, short path), so enabling puts back the same text.
        RawText copy;
        std::string rest;
        if (!SplitOutOfWinIni(WinIniKeyOf(code), command, &copy.text, &rest))
            return 0;
        if (!StoreDisabledCopy(title, copy, code))
            return 0;
        if (!RemoveFromWinIni(WinIniKeyOf(code), command)) {
            ForgetDisabledCopy(title, code);
            return 0;
        }
        return 1;
    }
    case GROUP_STARTUP:
        return DisableStartupFile(title, source, command);
    case RUN_WINLOGONNOTIFY:
        return DisableNotify(title, command);
    default:
        return 0;
    }
}

int EnableEntry(const char* title, const char* command, const char* source, int code)
{
    RunPlace run;
    if (RunKeyOf(code, &run)) {
        // A value that came back in the meantime is the newer one and stays as it is.
        bool written = false;
        if (!ValuePresent(run.root, run.path, title, run.view)) {
            RawText value;
            if (!ReadRawText(DisabledIndexRoot(title), DisabledStoreKey(code), title, &value))
                value.text = CommandLineFor(command);
            if (!WriteRawText(run.root, run.path, title, value, run.view))
                return 0;
            written = true;
        }
        HKEY store = DisabledIndexRoot(title);
        if (!DeleteRegValue(store, KX_DISABLED_KEY, title)) {
            if (written)
                DeleteRegValue(run.root, run.path, title, run.view);
            return 0;
        }
        DeleteRegValue(store, DisabledStoreKey(code), title);
        return 1;
    }
    switch (code) {
    case WIN_LOAD:
    case WIN_RUN: {
        RawText stored;
        if (!ReadRawText(DisabledIndexRoot(title), DisabledStoreKey(code), title, &stored))
            stored.text = command;
        if (!AppendToWinIni(WinIniKeyOf(code), stored.text.c_str()))
            return 0;
        HKEY store = DisabledIndexRoot(title);
        if (!DeleteRegValue(store, KX_DISABLED_KEY, title)) {
            RemoveFromWinIni(WinIniKeyOf(code), command);
            return 0;
        }
        DeleteRegValue(store, DisabledStoreKey(code), title);
        return 1;
    }
    case GROUP_STARTUP:
        return EnableStartupFile(title, source, command);
    case RUN_WINLOGONNOTIFY:
        if (!PutNotifyBack(title))
            return 0;
        if (!DeleteRegValue(DisabledIndexRoot(title), KX_DISABLED_KEY, title))
            return 0;
        DeleteRegValue(DisabledIndexRoot(title), DisabledStoreKey(code), title);
        return 1;
    default:
        return 0;
    }
}

// --- Removal. ---

// Asks before a system hook goes: the warning dialog in the explorer, a message box in
// the monitor.
int ConfirmHookRemoval(HWND owner, const char* title, const char* command)
{
    if (g_programKind == PROGRAM_EXPLORER)
        return ShowProtectionWarning(owner, title, command);
    char text[512];
    LoadResString(1013, text, sizeof(text));
    return MessageBoxExA(owner, text, g_programCaption,
                         MB_YESNO | MB_DEFBUTTON2 | MB_ICONSTOP | MB_TOPMOST,
                         (WORD)uiLanguage) == IDYES;
}

// --- Restore. ---

// A removed hook goes back into the view it was removed from.
int RestoreHook(const char* title, const char* command, const char* source, int code)
{
    REGSAM view = 0;
    RawText value;
    switch (HookOfCode(code, &view)) {
    case REG_Delayload:
        value.text = source;
        return WriteRawText(HKEY_LOCAL_MACHINE, DELAYLOAD_KEY, title, value, view);
    case REG_TaskScheduler:
        value.text = title;
        return WriteRawText(HKEY_LOCAL_MACHINE, TASKSCHEDULER_KEY, source, value, view);
    case REG_ShellExecuteHook:
        value.text = title;
        return WriteRawText(HKEY_LOCAL_MACHINE, EXECUTEHOOKS_KEY, source, value, view);
    case REG_AppInitDLLs:
        return AppendAppInitDll(command, view);
    default:
        return 0;
    }
}

// Disabled here before and put back by someone: the first call restores the stored copy,
// the second moves the present value into the store again. A value named like an entry
// disabled from another location is not taken.
int DisableReturnedValue(const char* name, const char* data, int code)
{
    if (!DisabledHere(name, code))
        return 0;
    DisableRunProgram(name, data, "", code);
    DisableRunProgram(name, data, "", code);
    return 1;
}

}  // namespace

void InstallEntryActions() { SetReturnedValueHandler(DisableReturnedValue); }

int DisableRunProgram(const char* title, const char* command, const char* source, int code)
{
    Trace(title, "DisableRunProgram -  findrun");
    // The index holds one code per title. An entry of another location with the same title
    // (an HKCU value named like a disabled HKLM one) is neither the disabled entry, which
    // must stay where it is, nor can it be stored beside it: it is left alone.
    int disabledCode = DisabledCodeForTitle(title);
    if (disabledCode == code)
        return EnableEntry(title, command, source, code);
    if (disabledCode)
        return 0;
    return DisableEntry(title, command, source, code);
}

int DeleteRunProgram(const char* title, const char* command, const char* source, int code)
{
    Trace(title, "DeleteRunProgram -  findrun");
    // A value place puts back what was known there; the history holds the value taken.
    if (IsValuePlaceCode(code))
        return RejectPlaceValue(code, title);
    REGSAM hookView;
    if ((code >= WINLOGON_Userinit && code <= REG_AppInitDLLs) || HookOfCode(code, &hookView))
        return DeleteRegProgram(nullptr, title, command, source, code);

    int result = 0;
    RunPlace run;
    if (RunKeyOf(code, &run)) {
        if (DisabledHere(title, code)) {
            HKEY store = DisabledIndexRoot(title);
            DeleteRegValue(store, DisabledStoreKey(code), title);
            result = DeleteRegValue(store, KX_DISABLED_KEY, title);
        } else {
            result = DeleteRegValue(run.root, run.path, title, run.view);
        }
    } else if (code == WIN_LOAD || code == WIN_RUN) {
        // The disabled copy and the command in win.ini both go; the result says whether
        // either was there to go.
        if (DisabledHere(title, code)) {
            HKEY store = DisabledIndexRoot(title);
            DeleteRegValue(store, DisabledStoreKey(code), title);
            result = DeleteRegValue(store, KX_DISABLED_KEY, title);
        }
        result |= RemoveFromWinIni(WinIniKeyOf(code), command);
    }
    std::string logCommand = command, logSource = source;
    if (code == GROUP_STARTUP)
        result = RemoveStartupFile(title, source, command, &logCommand, &logSource);

    // Only a removal that happened is logged and forgotten: the line is what a restore
    // works from, and an entry still in place must stay known.
    if (!result)
        return 0;
    if (!IsOwnMonitorCommand(command))
        WriteHistoryLine(title, logCommand.c_str(), logSource.c_str(), code, ACT_START_REMOVE);
    DeleteKnownStartup(command);
    DeleteKnownStartup(title);
    return result;
}

int DeleteRegProgram(HWND owner, const char* title, const char* command, const char* source,
                     int code)
{
    Trace(title, "DeleteRegProgram -  findrun");
    int result = 0;
    switch (code) {
    case WINLOGON_Userinit: {
        char userinit[MAX_PATH + 32];
        UINT n = GetSystemDirectoryA(userinit, MAX_PATH);
        if (n == 0 || n >= MAX_PATH)
            return 0;
        lstrcatA(userinit, "\\Userinit.exe,");
        result = SetRegValue(HKEY_LOCAL_MACHINE, WINLOGON_KEY, "Userinit", userinit);
        WriteKnownStartup(HKEY_LOCAL_MACHINE, userinit, WINLOGON_Userinit);
        if (result)
            WriteHistoryLine(title, command, source, code, ACT_RESET_USERINIT);
        return result;
    }
    case WINLOGON_Shell:
        result = SetRegValue(HKEY_LOCAL_MACHINE, WINLOGON_KEY, "Shell", "Explorer.exe");
        WriteKnownStartup(HKEY_LOCAL_MACHINE, "Explorer.exe", WINLOGON_Shell);
        if (result)
            WriteHistoryLine(title, command, source, code, ACT_RESET_SHELL);
        return result;
    default:
        break;
    }
    // The hooks act in the registry view their entry came from.
    REGSAM view = 0;
    int hook = HookOfCode(code, &view);
    if (!hook)
        return 0;   // Winlogon Notify entries can be disabled but not removed

    if (!ConfirmHookRemoval(owner, title, command))
        return 0;
    DeleteKnownStartup(command);
    int action = ACT_START_REMOVE;
    switch (hook) {
    case REG_Delayload:
        result = DeleteRegValue(HKEY_LOCAL_MACHINE, DELAYLOAD_KEY, title, view);
        action = ACT_REMOVE_DELAYLOAD;
        break;
    case REG_TaskScheduler:
        result = DeleteRegValue(HKEY_LOCAL_MACHINE, TASKSCHEDULER_KEY, source, view);
        action = ACT_REMOVE_TASKSCHEDULER;
        break;
    case REG_ShellExecuteHook:
        result = DeleteRegValue(HKEY_LOCAL_MACHINE, EXECUTEHOOKS_KEY, source, view);
        action = ACT_REMOVE_SHELLEXECUTEHOOK;
        break;
    default:
        result = RemoveAppInitDll(command, view);
        break;
    }
    if (result)
        WriteHistoryLine(title, command, source, code, action);
    return result;
}

int RestoreEntry(const char* title, const char* command, const char* source, int code)
{
    if (IsValuePlaceCode(code))
        return RestorePlaceValue(code, title);
    if (code >= TYPE_BROWSER_EXTENSION && code <= TYPE_BROWSER_EXTERNAL)
        return RestoreBrowserEntry(source);
    int result = 0;
    RunPlace run;
    if (RunKeyOf(code, &run)) {
        RawText value;
        value.text = CommandLineFor(command);
        result = WriteRawText(run.root, run.path, title, value, run.view);
    } else {
        switch (code) {
        case WIN_LOAD:
        case WIN_RUN:
            result = AppendToWinIni(WinIniKeyOf(code), command);
            break;
        case GROUP_STARTUP: {
            std::string listed;
            result = RestoreStartupFile(title, command, source, &listed);
            if (result)
                WriteKnownStartup(HKEY_CURRENT_USER, listed.c_str(), code);
            return result;
        }
        case REG_Delayload:
        case REG_TaskScheduler:
        case REG_ShellExecuteHook:
        case REG_AppInitDLLs:
        case REG_Delayload32:
        case REG_TaskScheduler32:
        case REG_ShellExecuteHook32:
        case REG_AppInitDLLs32:
            result = RestoreHook(title, command, source, code);
            break;
        case RUN_WINLOGONNOTIFY:
            PutNotifyBack(title);
            return 0;
        default:
            return 0;
        }
    }
    // Known, so that the monitor takes the entry back without an alert.
    if (result)
        WriteKnownStartup(HKEY_CURRENT_USER, command, code);
    return result;
}
