#include "infodialog.h"
#include "elevate.h"
#include "explorerseams.h"
#include "listpage.h"
#include "dialogs_info.h"
#include "entrylist.h"
#include "fileinfo.h"
#include "handles.h"
#include "history.h"
#include "onlineinfo.h"
#include "pageframe.h"
#include "pathutil.h"
#include "resstring.h"
#include "refusal.h"
#include "runtasks.h"
#include "serviceactions.h"
#include "services.h"
#include "shellrun.h"
#include "signature.h"
#include "sharedui.h"
#include "sysfiles.h"
#include "sysmessage.h"
#include "taskstop.h"
#include "tasks.h"
#include "textutil.h"
#include "versioninfo.h"
#include "winpos.h"
#include "writefault.h"
#include <cstdio>
#include <string>

int g_infoIndex;
int g_infoExpanded;
static int g_appliedStart = -1;   // combo position last applied
static ProgramInfoHook g_hook;
static int g_publisherAlarming;   // the shown program's signature is broken or its file gone

static const WindowPosNames kInfoPos = {"xInfo", "yInfo", "dxInfo", "dyInfo"};
// The maker's page of program statistics.
static const char kStatisticsAddress[] = "http://www.orvane.com/kestrix/stats/";

void SetProgramInfoHook(ProgramInfoHook hook) { g_hook = hook; }

static void NotePath(const char* command, char* out, int capacity)
{
    char program[260] = "";
    GetProgramFile(command, program);
    FileExists(program, sizeof(program));
    NoteFilePath(program[0] ? program : command, out, capacity);
}

int ReadProgramNote(const char* command, char* out, int capacity)
{
    out[0] = 0;
    char path[MAX_PATH];
    NotePath(command, path, sizeof(path));
    Handle file(CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr));
    if (!file)
        return 0;
    DWORD wanted = (DWORD)(capacity - 1 < NOTE_LIMIT ? capacity - 1 : NOTE_LIMIT), read = 0;
    ReadFile(file.get(), out, wanted, &read, nullptr);
    out[read] = 0;
    return 1;
}

// Writes text over the note file; 1 when the whole text was written.
static int WriteProgramNote(const char* command, const char* text)
{
    char path[MAX_PATH];
    NotePath(command, path, sizeof(path));
    Handle file(CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return 0;
    DWORD length = (DWORD)lstrlenA(text), written = 0;
    if (length > (DWORD)NOTE_LIMIT)
        length = NOTE_LIMIT;
    return WriteFile(file.get(), text, length, &written, nullptr) && written == length;
}

static void SetFont(HWND dialog, int id, HFONT font)
{
    SendDlgItemMessageA(dialog, id, WM_SETFONT, (WPARAM)font, TRUE);
}

static void Show(HWND dialog, int id, int show)
{
    ShowWindow(GetDlgItem(dialog, id), show ? SW_SHOW : SW_HIDE);
}

static void Text(HWND dialog, int id, const char* text) { SetDlgItemTextA(dialog, id, text); }

static std::string Res(UINT id)
{
    char text[2048] = "";
    LoadResString(id, text, sizeof(text));
    return text;
}

static void NoteText(HWND dialog, const char* text, HFONT font)
{
    SetFont(dialog, IDC_INFO_NOTE, font);
    Text(dialog, IDC_INFO_NOTE, text);
}

static void StaticTexts(HWND dialog)
{
    static const int kTexts[][2] = {
        {IDC_INFO_COMPANY_LABEL, 643}, {IDC_INFO_VERSION_LABEL, 644},
        {IDC_INFO_COPYRIGHT_LABEL, 645}, {IDC_INFO_STARTTYPE_LABEL, 667},
        {IDC_INFO_APPLY, 662}, {IDC_INFO_STATUS_LABEL, 668}, {IDC_INFO_RUN, 832},
        {IDC_INFO_CREATED_LABEL, 915}, {IDC_INFO_SAVED_LABEL, 917}, {IDC_INFO_SIZE_LABEL, 920},
        {IDC_INFO_DETECTED_LABEL, 921}, {IDC_INFO_ONLINE, 641}, {IDC_INFO_FREE, 731},
        {IDC_INFO_PUBLISHER_LABEL, 1438},
        {IDOK, 304},
    };
    for (const auto& t : kTexts)
        SetDlgItemResString(dialog, t[0], t[1]);
    CreateSharedUi();
    SetFont(dialog, IDC_INFO_TOP, g_fonts.arial18);
    SetFont(dialog, IDC_INFO_PREVIOUS, g_fonts.arial18);
    SetFont(dialog, IDC_INFO_NEXT, g_fonts.arial18);
    SetFont(dialog, IDC_INFO_PATH, g_fonts.sansBold10);
    static const int kValues[] = {IDC_INFO_PRODUCT, IDC_INFO_COMPANY, IDC_INFO_VERSION,
                                  IDC_INFO_COPYRIGHT, IDC_INFO_PUBLISHER, IDC_INFO_LOCATION,
                                  IDC_INFO_STATUS,
                                  IDC_INFO_CREATED, IDC_INFO_SAVED, IDC_INFO_SIZE,
                                  IDC_INFO_DETECTED};
    for (int id : kValues)
        SetFont(dialog, id, g_fonts.arial14);
    SendDlgItemMessageA(dialog, IDC_INFO_NOTE, EM_LIMITTEXT, NOTE_LIMIT, 0);
}

static void ServicePart(HWND dialog, const EntryRecord* r)
{
    SetDlgItemResString(dialog, IDC_INFO_STOP, 650);
    HWND combo = GetDlgItem(dialog, IDC_INFO_STARTTYPE);
    if (SendMessageA(combo, CB_GETCOUNT, 0, 0) == 0)
        for (UINT id : {664u, 665u, 666u})
            SendMessageA(combo, CB_ADDSTRING, 0, (LPARAM)Res(id).c_str());
    if (!r->source[0]) {
        Text(dialog, IDC_INFO_LOCATION, "");
        return;
    }
    Show(dialog, IDC_INFO_LOCATION, 0);
    for (int id : {IDC_INFO_APPLY, IDC_INFO_STOP, IDC_INFO_STARTTYPE_LABEL, IDC_INFO_STARTTYPE,
                   IDC_INFO_STATUS_LABEL, IDC_INFO_STATUS})
        Show(dialog, id, 1);
    EnableWindow(combo, TRUE);
    int position = (int)SendMessageA(combo, CB_FINDSTRINGEXACT, (WPARAM)-1, (LPARAM)r->source);
    SendMessageA(combo, CB_SETCURSEL, position, 0);
    g_appliedStart = position;
    EnableWindow(GetDlgItem(dialog, IDC_INFO_APPLY), FALSE);
    char state[256] = "";
    DWORD known = ServiceStateText(r->key, state, sizeof(state));
    Text(dialog, IDC_INFO_STATUS, known ? state : "");
    EnableWindow(GetDlgItem(dialog, IDC_INFO_STOP),
                 known && (ServiceAcceptedControls(r->key) & SERVICE_ACCEPT_STOP));
    ShowShield(GetDlgItem(dialog, IDC_INFO_STOP), NeedsElevationFor(ELEVATED_SERVICE_STOP, *r));
    ShowShield(GetDlgItem(dialog, IDC_INFO_APPLY), NeedsElevationFor(ELEVATED_SERVICE_START, *r));
}

// A change of the service: by the elevated copy when this process lacks the rights (it tells
// its own failure), else here and a failure told. 1 when done.
static int ChangeService(HWND dialog, int verb, const EntryRecord& r, DWORD start)
{
    EntryRecord named = r;
    lstrcpynA(named.source, r.key, sizeof(named.source));
    named.type = (int)start;
    if (NeedsElevationFor(verb, r))
        return RunElevated(dialog, verb, named) > 0;
    ClearWriteRefusal();
    int done = verb == ELEVATED_SERVICE_STOP ? SendServiceControl(r.key, SERVICE_CONTROL_STOP)
                                             : SetServiceStartType(r.key, start);
    if (!done) {
        NoteActionFailure();
        TellRefusal(dialog);
    }
    return done;
}

static void Fill(HWND dialog)
{
    HCURSOR cursor = SetCursor(LoadCursorA(nullptr, IDC_WAIT));
    for (int id : {IDC_INFO_APPLY, IDC_INFO_STARTTYPE_LABEL, IDC_INFO_RUN, IDC_INFO_STOP})
        Show(dialog, id, 0);
    const EntryRecord* r = GetEntry(g_infoIndex);
    if (!r) {
        SetCursor(cursor);
        return;
    }
    char program[260] = "";
    GetProgramFile(r->command, program);
    int exists = program[0] && FileExists(program, sizeof(program));
    Text(dialog, IDC_INFO_PATH, program);
    SetWindowTextA(dialog, r->title);

    HICON icon = nullptr;
    const char* iconFile = (r->type == TYPE_TOOLBAR || r->type == TYPE_EXTENSION) ? r->detail
                           : exists ? program : nullptr;
    if (iconFile && iconFile[0]) {
        icon = ExtractIconA(GetModuleHandleA(nullptr), iconFile, 0);
        if (icon == (HICON)1)
            icon = nullptr;
    }
    HICON old = (HICON)SendDlgItemMessageA(dialog, IDC_INFO_ICON, BM_SETIMAGE, IMAGE_ICON, (LPARAM)icon);
    if (old)
        DestroyIcon(old);

    int service = IsServiceCode(r->type);
    Show(dialog, IDC_INFO_LOCATION, 1);
    if (!service) {
        char location[512] = "", line[600];
        LocationText(g_infoIndex, location);
        snprintf(line, sizeof(line), "%s%s", Res(646).c_str(), location);
        Text(dialog, IDC_INFO_LOCATION, line);
        Show(dialog, IDC_INFO_STARTTYPE, 0);
        EnableWindow(GetDlgItem(dialog, IDC_INFO_STARTTYPE), FALSE);
        int helper = r->type >= TYPE_BHO;
        for (int id : {IDC_INFO_STATUS_LABEL, IDC_INFO_STATUS})
            Show(dialog, id, !helper);
        if (!helper) {
            SetDlgItemResString(dialog, IDC_INFO_STOP, 306);
            if (FindRunningProgram(r->command)) {
                Text(dialog, IDC_INFO_STATUS, Res(655).c_str());
                Show(dialog, IDC_INFO_STOP, 1);
                EnableWindow(GetDlgItem(dialog, IDC_INFO_STOP), TRUE);
            } else if (exists) {
                Text(dialog, IDC_INFO_STATUS, Res(831).c_str());
                Show(dialog, IDC_INFO_RUN, 1);
            } else {
                Text(dialog, IDC_INFO_STATUS, Res(730).c_str());
            }
        }
    } else {
        Show(dialog, IDC_INFO_STATUS_LABEL, 0);
        Show(dialog, IDC_INFO_STATUS, 0);
        Show(dialog, IDC_INFO_STARTTYPE, 0);
        ServicePart(dialog, r);
    }
    if (!exists)
        Text(dialog, IDC_INFO_STATUS, Res(730).c_str());

    VersionStrings* version = new VersionStrings();
    if (exists)
        GetVersionStrings(program, version);
    Text(dialog, IDC_INFO_PRODUCT, version->slot[VS_PRODUCT_NAME]);
    Text(dialog, IDC_INFO_VERSION, version->slot[VS_PRODUCT_VERSION]);
    Text(dialog, IDC_INFO_COMPANY, version->slot[VS_COMPANY_NAME]);
    Text(dialog, IDC_INFO_TOP, version->slot[VS_FILE_DESCRIPTION][0] ? version->slot[VS_FILE_DESCRIPTION]
                                                                     : r->title);
    Text(dialog, IDC_INFO_COPYRIGHT, version->slot[VS_LEGAL_COPYRIGHT]);
    SignatureResult signature;
    GetFileSignature(exists ? program : "", &signature);
    char publisher[300];
    PublisherText(signature, version->slot[VS_COMPANY_NAME], publisher, sizeof(publisher));
    g_publisherAlarming = IsAlarmingSignature(signature);
    Text(dialog, IDC_INFO_PUBLISHER, publisher);
    FileInfoRecord info = {};
    if (exists)
        GetFileInformation(program, r->type, &info);
    Text(dialog, IDC_INFO_CREATED, info.created);
    Text(dialog, IDC_INFO_SAVED, info.written);
    Text(dialog, IDC_INFO_SIZE, info.size);
    Text(dialog, IDC_INFO_DETECTED, info.firstSeen);

    // The note, else what the entry says about itself, else the general hint.
    SetDlgItemResString(dialog, IDC_INFO_SAVE_NOTE, 969);
    EnableWindow(GetDlgItem(dialog, IDC_INFO_SAVE_NOTE), TRUE);
    SendDlgItemMessageA(dialog, IDC_INFO_NOTE, EM_SETREADONLY, TRUE, 0);
    char* note = new char[NOTE_LIMIT + 1];
    int noted = ReadProgramNote(r->command, note, NOTE_LIMIT + 1);
    if (noted) {
        SendDlgItemMessageA(dialog, IDC_INFO_NOTE, EM_SETREADONLY, FALSE, 0);
        SetDlgItemResString(dialog, IDC_INFO_SAVE_NOTE, 970);
        NoteText(dialog, note, g_fonts.note);
    } else if (r->detail[0]) {
        NoteText(dialog, r->detail, g_fonts.sansBold14);
    } else {
        NoteText(dialog, Res(647).c_str(), g_fonts.sans12);
    }
    char* text = new char[4200];
    text[0] = 0;
    REGSAM hookView;
    if ((r->type >= WINLOGON_Userinit && r->type <= RUN_WINLOGONNOTIFY) ||
        HookOfCode(r->type, &hookView)) {
        Show(dialog, IDC_INFO_RUN, 0);
        Show(dialog, IDC_INFO_STOP, 0);
        if (!ServiceDescriptionByPath(program, text, 1024)) {
            std::string note;
            if (InMyString(version->slot[VS_COMPANY_NAME], "Microsoft"))
                note = FillText(Res(908).c_str(), {r->title});
            note += Res(647);
            lstrcpynA(text, note.c_str(), 4200);
        }
        NoteText(dialog, text, g_fonts.note);
    } else if (r->type == TYPE_HIDDEN) {
        for (int id : {IDC_INFO_STATUS_LABEL, IDC_INFO_STATUS, IDC_INFO_RUN, IDC_INFO_STOP})
            Show(dialog, id, 0);
    } else if (r->type == TYPE_FILETYPE) {
        Text(dialog, IDC_INFO_LOCATION, "");
        if (!noted) {
            snprintf(text, 4200, "%s%s", Res(755).c_str(), r->detail);
            NoteText(dialog, text, g_fonts.sansBold14);
        }
    } else if (r->type == INFO_TASK) {
        Text(dialog, IDC_INFO_LOCATION, "");
        if (!noted && ServiceDescriptionByPath(program, text, 1024))
            NoteText(dialog, text, g_fonts.sansBold14);
    } else if (r->type == TASK_SCHEDULED) {
        if (!noted) {
            char comment[1024] = "", status[256] = "";
            TaskComment(r->title, comment, sizeof(comment));
            TaskStatusText(r->title, status, sizeof(status));
            snprintf(text, 4200, "%s%s%s", comment, comment[0] ? "\r\n" : "", status);
            NoteText(dialog, text, g_fonts.sansBold14);
        }
    } else if (r->type >= TYPE_BHO && r->type <= TYPE_BHO32) {
        if (!noted)
            NoteText(dialog, Res(647).c_str(), g_fonts.sans12);
        snprintf(text, 4200, "%s: \"HKLM\\%s\"", Res(716).c_str(), AddOnKindKey(r->type));
        Text(dialog, IDC_INFO_LOCATION, text);
    } else if (r->type >= TYPE_BROWSER_EXTENSION && r->type <= TYPE_BROWSER_EXTERNAL) {
        // Which browser and profile, the extension's id and where it came from, and what it
        // is: its folder or file, the page's address or the policy's data.
        if (!noted) {
            snprintf(text, 4200, "%s\r\n%s%s\r\n%s", r->key, r->detail,
                     r->offByWindows ? " (disabled in the browser)" : "", r->command);
            NoteText(dialog, text, g_fonts.sans12);
        }
    }
    if (noted) {
        HWND edit = GetDlgItem(dialog, IDC_INFO_NOTE);
        SetFocus(edit);
        SendMessageA(edit, EM_SETSEL, 0x7fffffff, 0x7fffffff);
    }
    SendDlgItemMessageA(dialog, IDC_INFO_NOTE, EM_SETMODIFY, FALSE, 0);
    delete[] text;
    delete[] note;
    delete version;
    SetCursor(cursor);
}

static void ExpandOrShrink(HWND dialog)
{
    g_infoExpanded = !g_infoExpanded;
    HDC screen = GetDC(nullptr);
    double scale = GetDeviceCaps(screen, LOGPIXELSY) / 96.0;
    ReleaseDC(nullptr, screen);
    RECT window;
    GetWindowRect(dialog, &window);
    SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left,
                 (int)((g_infoExpanded ? 421 : 246) * scale), SWP_NOMOVE | SWP_NOZORDER);
    static const int kButtons[6][2] = {{IDC_INFO_ONLINE, 7},  {IDC_INFO_FREE, 88},
                                       {IDC_INFO_SAVE_NOTE, 169}, {IDC_INFO_PREVIOUS, 267},
                                       {IDC_INFO_NEXT, 301}, {IDOK, 348}};
    int y = (int)((g_infoExpanded ? 350 : 185) * scale);
    for (const auto& b : kButtons) {
        RECT units = {b[1], 0, 0, 0};
        MapDialogRect(dialog, &units);
        SetWindowPos(GetDlgItem(dialog, b[0]), nullptr, units.left, y, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER);
    }
    for (int id : {IDC_INFO_NOTE, IDC_INFO_CREATED_LABEL, IDC_INFO_CREATED, IDC_INFO_SAVED_LABEL,
                   IDC_INFO_SAVED, IDC_INFO_SIZE_LABEL, IDC_INFO_SIZE, IDC_INFO_DETECTED_LABEL,
                   IDC_INFO_DETECTED, IDC_INFO_SAVE_NOTE})
        Show(dialog, id, g_infoExpanded);
    SetDlgItemResString(dialog, IDC_INFO_EXPAND, g_infoExpanded ? 919 : 918);
}

static void Stop(HWND dialog)
{
    const EntryRecord* r = GetEntry(g_infoIndex);
    if (!r)
        return;
    if (IsServiceCode(r->type)) {
        // Only what happened goes into the history.
        EntryRecord service = *r;
        if (!ChangeService(dialog, ELEVATED_SERVICE_STOP, service, 0))
            return;
        WriteHistoryLine(service.title, service.command, "", service.type, ACT_SERVICE_STOP);
        Sleep(100);
    } else {
        StopRunningProgram(r->command, r->title, 0);
    }
    Fill(dialog);
}

static void Run(HWND dialog)
{
    const EntryRecord* r = GetEntry(g_infoIndex);
    if (r && !IsServiceCode(r->type))
        RunCommandLine(r->command, SW_SHOWNORMAL);
    Fill(dialog);
}

static void Apply(HWND dialog)
{
    const EntryRecord* r = GetEntry(g_infoIndex);
    int position = (int)SendDlgItemMessageA(dialog, IDC_INFO_STARTTYPE, CB_GETCURSEL, 0, 0);
    if (!r || position < 0 || position > 2)
        return;
    if (!ChangeService(dialog, ELEVATED_SERVICE_START, *r, (DWORD)position + 2))
        return;   // nothing changed: the choice stays to be applied again
    switch (HIWORD(ServiceState(r->key))) {
    case SERVICE_START_PENDING: WriteHistoryLine(r->title, r->command, "", r->type, ACT_SERVICE_FROM_MANUAL); break;
    case SERVICE_STOP_PENDING: WriteHistoryLine(r->title, r->command, "", r->type, ACT_SERVICE_FROM_DISABLED); break;
    case SERVICE_RUNNING: WriteHistoryLine(r->title, r->command, "", r->type, ACT_SERVICE__FROM_DISABLED); break;
    }
    WriteHistoryLine(r->title, r->command, "", r->type, ACT_SERVICE_AUTOMATIC + position);
    g_appliedStart = position;
    EnableWindow(GetDlgItem(dialog, IDC_INFO_APPLY), FALSE);
}

static void SaveNote(HWND dialog)
{
    const EntryRecord* r = GetEntry(g_infoIndex);
    if (!r)
        return;
    char* text = new char[NOTE_LIMIT + 1];
    HWND edit = GetDlgItem(dialog, IDC_INFO_NOTE);
    if (ReadProgramNote(r->command, text, NOTE_LIMIT + 1)) {
        GetWindowTextA(edit, text, NOTE_LIMIT + 1);
        if (WriteProgramNote(r->command, text)) {
            EnableWindow(GetDlgItem(dialog, IDC_INFO_SAVE_NOTE), FALSE);
            SendMessageA(edit, EM_SETMODIFY, FALSE, 0);
        } else {
            // The text stays in the edit so that the user can keep it another way.
            ShowSystemError();
        }
    } else {
        snprintf(text, NOTE_LIMIT + 1, "%s\r\n%s\r\n", r->title, r->command);
        if (!WriteProgramNote(r->command, text)) {
            ShowSystemError();
        } else {
            SendMessageA(edit, EM_SETREADONLY, FALSE, 0);
            SetDlgItemResString(dialog, IDC_INFO_SAVE_NOTE, 970);
            NoteText(dialog, text, g_fonts.note);
            SetFocus(edit);
            SendMessageA(edit, EM_SETSEL, 0x7fffffff, 0x7fffffff);
        }
    }
    delete[] text;
}

static void Step(HWND dialog, int by)
{
    int count = EntryCount();
    if (count <= 0)
        return;
    g_infoIndex = ((g_infoIndex + by) % count + count) % count;
    Fill(dialog);
}

static void Close(HWND dialog)
{
    SaveWindowPosition(dialog, kInfoPos);
    for (int id : {IDC_INFO_NOTE, IDC_INFO_PRODUCT, IDC_INFO_COMPANY, IDC_INFO_VERSION,
                   IDC_INFO_COPYRIGHT, IDC_INFO_PUBLISHER, IDC_INFO_PATH})
        Text(dialog, id, "");
    HICON icon = (HICON)SendDlgItemMessageA(dialog, IDC_INFO_ICON, BM_SETIMAGE, IMAGE_ICON, 0);
    if (icon)
        DestroyIcon(icon);
    EndDialog(dialog, 1);
}

static INT_PTR CALLBACK InfoProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        StaticTexts(dialog);
        ExpandOrShrink(dialog);   // first: the centring needs the final height
        RestoreWindowPosition(dialog, kInfoPos);
        Fill(dialog);
        return FALSE;   // Fill put the focus where it belongs
    case WM_CTLCOLORSTATIC:
        // A broken signature or a missing file is written in red.
        if ((HWND)lParam == GetDlgItem(dialog, IDC_INFO_PUBLISHER) && g_publisherAlarming) {
            HDC dc = (HDC)wParam;
            SetTextColor(dc, RGB(192, 0, 0));
            SetBkColor(dc, GetSysColor(COLOR_3DFACE));
            return (INT_PTR)GetSysColorBrush(COLOR_3DFACE);
        }
        return FALSE;
    case WM_COMMAND: {
        int command = LOWORD(wParam);
        if (command == IDC_INFO_NOTE && HIWORD(wParam) == EN_CHANGE) {
            EnableWindow(GetDlgItem(dialog, IDC_INFO_SAVE_NOTE), TRUE);
            return TRUE;
        }
        if (command == IDC_INFO_STARTTYPE && HIWORD(wParam) == CBN_SELCHANGE) {
            int position = (int)SendDlgItemMessageA(dialog, IDC_INFO_STARTTYPE, CB_GETCURSEL, 0, 0);
            EnableWindow(GetDlgItem(dialog, IDC_INFO_APPLY), position >= 0 && position != g_appliedStart);
            return TRUE;
        }
        switch (command) {
        case IDOK:
        case IDCANCEL: Close(dialog); return TRUE;
        case IDC_INFO_STOP: Stop(dialog); return TRUE;
        case IDC_INFO_RUN: Run(dialog); return TRUE;
        case IDC_INFO_EXPAND: ExpandOrShrink(dialog); return TRUE;
        case IDC_INFO_APPLY: Apply(dialog); return TRUE;
        case IDC_INFO_ONLINE:
            ShowEntryOnlineInformation(g_infoIndex);
            SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            return TRUE;
        case IDC_INFO_FREE:
            SetWindowPos(dialog, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
            OpenWebAddress(dialog, kStatisticsAddress);
            return TRUE;
        case IDC_INFO_SAVE_NOTE: SaveNote(dialog); return TRUE;
        case IDC_INFO_NEXT: Step(dialog, 1); return TRUE;
        case IDC_INFO_PREVIOUS: Step(dialog, -1); return TRUE;
        }
        break;
    }
    }
    return FALSE;
}

void ShowProgramInfo(HWND owner, int index)
{
    g_infoIndex = index;
    if (g_hook) {
        g_hook(owner, index);
        return;
    }
    DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_PROGRAM_INFO), owner, InfoProc, 0);
}
