// Stopping a startup program that runs, with the question and the history line.
#include "taskstop.h"
#include "entrylist.h"
#include "handles.h"
#include "history.h"
#include "resstring.h"
#include "runtasks.h"
#include "sysmessage.h"
#include "textutil.h"

// After a stop that took: a moment for the program to go, then the history line and the
// taskbar drawn again without its icons.
static void NoteProcessEnded(Handle& process, const char* title, const char* command)
{
    DWORD code = 0;
    for (int i = 0; i < 5; i++) {
        if (!GetExitCodeProcess(process.get(), &code) || code != STILL_ACTIVE)
            break;
        Sleep(10);
    }
    process.reset();
    WriteHistoryLine(title, command, "", INFO_TASK, ACT_TASK_KILL);
    RepaintTaskbar();
}

DWORD StopRunningProgram(const char* command, const char* title, int ask)
{
    DWORD processId = FindRunningProgram(command);
    if (!processId)
        return 0;
    if (ask) {
        char format[512], text[800];
        if (!LoadResString(707, format, sizeof(format)))
            lstrcpyA(format, "%s");
        const char* values[] = {title && title[0] ? title : command};
        FillTextSlots(format, values, 1, text, sizeof(text));
        if (KxMessageBox(nullptr, text, MB_YESNO | MB_ICONQUESTION) != IDYES)
            return processId;
    }
    char program[260];
    RunningProgramKey(command, program);
    Handle process(OpenProgramProcess(processId, program));
    if (!process)
        return 0;
    // A program that could not be stopped runs on: no history line, and no id to say so.
    if (!TerminateOpenProcess(process.get()))
        return 0;
    NoteProcessEnded(process, title, command);
    return processId;
}

int EndListedProcess(DWORD processId, const char* image, const char* title, DWORD* error)
{
    *error = ERROR_NOT_FOUND;
    char program[260];
    RunningProgramKey(image, program);
    if (!processId || !program[0])
        return 0;
    Handle process(
        OpenProcess(PROCESS_TERMINATE | PROCESS_QUERY_LIMITED_INFORMATION, FALSE, processId));
    if (!process) {
        DWORD reason = GetLastError();
        *error = reason == ERROR_ACCESS_DENIED ? reason : ERROR_NOT_FOUND;
        return 0;
    }
    // The id may have passed to another program since the list was made.
    char running[MAX_PATH] = "";
    DWORD size = sizeof(running);
    if (!QueryFullProcessImageNameA(process.get(), 0, running, &size) ||
        !ImageIsProgram(running, program))
        return 0;
    if (!TerminateOpenProcess(process.get())) {
        DWORD reason = GetLastError();
        *error = reason ? reason : ERROR_ACCESS_DENIED;
        return 0;
    }
    *error = 0;
    NoteProcessEnded(process, title, image);
    return 1;
}
