#include "pagecommands.h"
#include "dialogs_pages.h"
#include "entrylist.h"
#include "pathutil.h"
#include "resstring.h"
#include "shellrun.h"
#include "sysfiles.h"
#include "sysmessage.h"
#include "textutil.h"
#include "vault.h"
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

int DeleteEntryFileOnReboot(HWND page, int index)
{
    char program[260];
    EntryProgramFile(index, program);
    if (AskResString(page, 800, nullptr, MB_YESNO | MB_ICONSTOP) != IDYES)
        return 0;
    return DeleteFileAtRestart(program);
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
