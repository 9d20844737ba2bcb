#include "elevate.h"
#include "elevation.h"
#include "handles.h"
#include "program.h"
#include "refusal.h"
#include "runactions.h"
#include "startupfiles.h"
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

int NeedsElevation(const EntryRecord& r)
{
    if (IsElevated())
        return 0;
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
    if (count != 5 || (verb != ELEVATED_TOGGLE && verb != ELEVATED_REMOVE) ||
        !Unhex(fields[2], r.title, sizeof(r.title)) || !Unhex(fields[3], r.command, sizeof(r.command)) ||
        !Unhex(fields[4], r.source, sizeof(r.source)) || !r.title[0])
        return 1;   // not a line this program writes: nothing is done
    ClearWriteRefusal();
    int done = verb == ELEVATED_TOGGLE ? DisableRunProgram(r.title, r.command, r.source, r.type)
                                       : DeleteRunProgram(r.title, r.command, r.source, r.type);
    if (!done) {
        NoteActionFailure();
        TellRefusal(nullptr);
    }
    *exitCode = done ? 0 : 1;
    return 1;
}

int RunElevated(HWND owner, int verb, const EntryRecord& r)
{
    char file[MAX_PATH + 16];
    ProgramFilePath("KestrixEx.exe", file, sizeof(file));
    std::string parameters = ElevatedParameters(verb, r);
    int exitCode;
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
        if (!ShellExecuteExA(&info)) {
            DWORD error = GetLastError();
            if (error == ERROR_CANCELLED)
                return -1;
            ClearWriteRefusal();
            NoteWriteRefusal(error);
            TellRefusal(owner);
            return 0;
        }
        Handle process(info.hProcess);
        DWORD code = 1;
        if (!process || WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 ||
            !GetExitCodeProcess(process.get(), &code))
            code = 1;
        exitCode = (int)code;
    }
    return exitCode < 0 ? -1 : exitCode == 0 ? 1 : 0;
}

void ShowShield(HWND button, int shown)
{
    SendMessageA(button, BCM_SETSHIELD, 0, shown ? TRUE : FALSE);
}
