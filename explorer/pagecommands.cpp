#include "pagecommands.h"
#include "elevate.h"
#include "writefault.h"
#include "refusal.h"
#include "dialogs_pages.h"
#include "entrylist.h"
#include "pathutil.h"
#include "resstring.h"
#include "shellrun.h"
#include "sysfiles.h"
#include "sysmessage.h"
#include "textutil.h"
#include "vault.h"
#include "listedfile.h"
#include "platform.h"
#include <string>
#include <cstdio>

void NoSelectionMessage(HWND page, UINT stringId)
{
    char text[512] = "", caption[128] = "";
    LoadResString(stringId, text, sizeof(text));
    LoadResString(31, caption, sizeof(caption));
    MessageBoxExA(page, text, caption, MB_OK | MB_ICONINFORMATION | MB_TOPMOST,
                  (WORD)uiLanguage);
}

int AskResString(HWND page, UINT stringId, const char* argument, UINT flags)
{
    char format[1024] = "";
    LoadResString(stringId, format, sizeof(format));
    return KxMessageBox(page, FillText(format, {argument ? argument : ""}).c_str(), flags | MB_TOPMOST);
}

void EntryProgramFile(int index, char* out)
{
    out[0] = 0;
    if (const EntryRecord* r = GetEntry(index)) {
        GetProgramFile(r->command, out);
        FileExists(out, 260);
    }
}

int EntryNoteExists(int index, char* note, int capacity)
{
    char program[260], path[MAX_PATH];
    EntryProgramFile(index, program);
    if (!program[0])
        return 0;
    NoteFilePath(program, path, sizeof(path));
    if (note)
        lstrcpynA(note, path, capacity);
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

std::string ListedFileOfEntry(const EntryRecord& r)
{
    switch (r.type) {
    case TYPE_HIDDEN:
    case TASK_SCHEDULED:
    case INFO_TASK:
    case TYPE_BHO:
    case TYPE_TOOLBAR:
    case TYPE_EXTENSION:
    case TYPE_BHO32:
        return r.command;
    }
    // Windows starts an unquoted command's first blank-delimited start that is a file, with
    // ".exe" added when it has none: "C:\a.exe.d\b.exe /x" runs b.exe, not a file "C:\a.exe".
    const char* text = SkipLeadingBlanks(r.command);
    if (IsFullPath(text)) {
        for (const char* end = text + 3;; end++) {
            if (*end == ' ' || !*end) {
                std::string start(text, end);
                for (const std::string& file : {start, start + ".exe"}) {
                    DWORD attributes = GetFileAttributesA(file.c_str());
                    if (attributes != INVALID_FILE_ATTRIBUTES &&
                        !(attributes & FILE_ATTRIBUTE_DIRECTORY))
                        return file;
                }
            }
            if (!*end)
                break;
        }
    }
    // Otherwise the program the command names (a prefix such as \SystemRoot expanded where it
    // begins), as written: a bare name stays bare and is refused.
    char program[260];
    GetProgramFile(r.command, program);
    if (IsFullPath(program))
        ToLongPathForm(program, sizeof(program));   // the file's own spelling; never a search
    return program;
}

void ShowDeleteRefusal(HWND page, int reason, const char* path)
{
    UINT id = reason == RESTART_USER_FOLDER ? 803 : reason == RESTART_NO_FULL_PATH ? 804 : 805;
    AskResString(page, id, path, MB_OK | MB_ICONEXCLAMATION);
}

int DeleteEntryFileOnReboot(HWND page, int index)
{
    const EntryRecord* r = GetEntry(index);
    if (!r)
        return 0;
    const std::string file = ListedFileOfEntry(*r);
    // What cannot be done is said before the question, not after a Yes.
    int refusal = !IsFullPath(file.c_str()) ? RESTART_NO_FULL_PATH
                  : IsWindowsNT() && InUserWritableFolder(file.c_str()) ? RESTART_USER_FOLDER
                                                                        : 0;
    if (refusal) {
        ShowDeleteRefusal(page, refusal, file.c_str());
        return 0;
    }
    if (AskResString(page, 800, file.c_str(), MB_YESNO | MB_ICONSTOP) != IDYES)
        return 0;
    if (NeedsElevationFor(ELEVATED_DELETE_AT_RESTART, *r)) {
        // The rename list lives in HKLM: the elevated copy says itself why it failed.
        EntryRecord named = *r;
        lstrcpynA(named.command, file.c_str(), sizeof(named.command));
        return RunElevated(page, ELEVATED_DELETE_AT_RESTART, named) > 0;
    }
    ClearWriteRefusal();
    int result = DeleteFileAtRestart(file.c_str());
    if (result < 0) {
        ShowDeleteRefusal(page, result, file.c_str());
    } else if (!result) {
        NoteActionFailure();
        TellRefusal(page);
    }
    return result > 0;
}

void ViewEntryNote(HWND page, int index)
{
    char note[MAX_PATH];
    if (EntryNoteExists(index, note, sizeof(note)))
        ShellRun(page, "open", note, nullptr);
}

void ExploreEntryFolder(HWND page, int index)
{
    char program[260], folder[MAX_PATH];
    EntryProgramFile(index, program);
    if (FolderOfProgram(program, folder, sizeof(folder)))
        ShellRun(page, "explore", folder, nullptr);
}

void ShowEntryProperties(HWND page, int index)
{
    char program[260];
    EntryProgramFile(index, program);
    if (program[0] && FileExists(program, sizeof(program)))
        ShowFileProperties(page, program);
}

void AppendMenuRes(HMENU menu, int command, UINT stringId, const char* fallback)
{
    char text[128];
    if (!stringId || !LoadResString(stringId, text, sizeof(text)))
        lstrcpynA(text, fallback, sizeof(text));
    AppendMenuA(menu, MF_STRING, command, text);
}

void AppendMenuHead(HMENU menu, int index)
{
    AppendMenuRes(menu, IDC_PAGE_INFO, 301, "Info...");
    AppendMenuRes(menu, IDM_PAGE_EXPLORE_FOLDER, 1135, "Explore Program Folder");
    AppendMenuRes(menu, IDM_PAGE_PROPERTIES, 1136, "Open Program Properties...");
    if (EntryNoteExists(index))
        AppendMenuRes(menu, IDM_PAGE_VIEW_NOTE, 971, "&View Note...");
}

void AppendMenuTail(HMENU menu)
{
    AppendMenuA(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuRes(menu, IDM_PAGE_ONLINE_INFO, 641, "VANTA &Info...");
    AppendMenuRes(menu, IDM_PAGE_REPORT, 310, "Kestrix &Log");
    AppendMenuRes(menu, IDC_PAGE_HELP_IMAGE, 31, "Kestrix Help");
}
