// The File Types page: which program opens each watched extension, and the watch list.
#include "dialogs_pages.h"
#include "entrylist.h"
#include "filetypeactions.h"
#include "filetypes.h"
#include "keys.h"
#include "listpage.h"
#include "pagecommands.h"
#include "pages.h"
#include "pathutil.h"
#include "resstring.h"
#include "sysmessage.h"
#include "winpos.h"
#include <commctrl.h>

static const WindowPosNames kAddFileTypePos = {"xPosAddFileType", "yPosAddFileType",
                                               "dxPosAddFileType", "dyPosAddFileType"};

static const char* KindText(int tag)
{
    switch (tag) {
    case 1: return "System";
    case 2: case 3: return "Explorer";
    case 4: return "Root";
    }
    return "";
}

static void Cell(int index, int column, char* out, int capacity)
{
    const EntryRecord* r = GetEntry(index);
    out[0] = 0;
    switch (column) {
    case 0: lstrcpynA(out, r->title, capacity); break;
    case 1: FileTypeProgramText(r->command, out, capacity); break;
    case 3: lstrcpynA(out, r->source, capacity); break;
    case 4: lstrcpynA(out, r->detail, capacity); break;
    case 5: lstrcpynA(out, KindText(r->tag), capacity); break;
    }
}

static void IconSource(int index, char* file, int* iconIndex)
{
    const EntryRecord* r = GetEntry(index);
    FileTypeIcon(r->detail, r->tag, file, iconIndex);
    char path[260];
    lstrcpynA(path, file, sizeof(path));
    if (file[0] && !FileExists(path, sizeof(path)) && GetProgramFile(file, path) > 0)
        lstrcpynA(file, path, 260);
}

static HMENU Menu(int index)
{
    HMENU menu = CreatePopupMenu();
    AppendMenuRes(menu, IDC_PAGE_INFO, 301, "Info...");
    if (EntryNoteExists(index))
        AppendMenuRes(menu, IDM_PAGE_VIEW_NOTE, 971, "&View Note...");
    AppendMenuRes(menu, IDC_PAGE_ADD, 311, "&Add");
    AppendMenuRes(menu, IDC_PAGE_REMOVE, 302, "&Remove");
    AppendMenuTail(menu);
    return menu;
}

// A typed extension must be a name: no separators, blanks or dots inside it.
static int CheckExtension(const char* text)
{
    const char* ext = text[0] == '.' ? text + 1 : text;
    if (!ext[0] || lstrlenA(ext) > 64)
        return 761;
    for (const char* c = ext; *c; c++)
        if (*c == '.' || *c == ';' || *c == '\\' || *c == '/' || *c == ' ' || (unsigned char)*c < 32)
            return 761;
    return AddWatchedExtension(ext);
}

static INT_PTR CALLBACK AddFileTypeProc(HWND dialog, UINT message, WPARAM wParam, LPARAM)
{
    switch (message) {
    case WM_INITDIALOG:
        {
            char caption[128] = "";
            LoadResString(752, caption, sizeof(caption));
            SetWindowTextA(dialog, caption);
        }
        SetDlgItemResString(dialog, IDC_ADDFT_TEXT, 751);
        SetDlgItemResString(dialog, IDOK, 753);
        SetDlgItemResString(dialog, IDCANCEL, 304);
        SendDlgItemMessageA(dialog, IDC_ADDFT_EDIT, EM_LIMITTEXT, 64, 0);
        RestoreWindowPosition(dialog, kAddFileTypePos);
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK) {
            char text[80] = "";
            GetDlgItemTextA(dialog, IDC_ADDFT_EDIT, text, sizeof(text));
            int refused = CheckExtension(text);
            if (refused) {
                char message[512] = "";
                LoadResString(refused, message, sizeof(message));
                KxMessageBox(dialog, message, MB_OK | MB_ICONINFORMATION);
                return TRUE;
            }
            SaveWindowPosition(dialog, kAddFileTypePos);
            EndDialog(dialog, 1);
            return TRUE;
        }
        if (LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, 0);
            return TRUE;
        }
        break;
    }
    return FALSE;
}

static int Command(HWND page, int command)
{
    if (command == IDC_PAGE_ADD) {
        if (DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ADD_FILETYPE), page,
                            AddFileTypeProc, 0) == 1)
            RefillListPage(page);
        return 1;
    }
    if (command != IDC_PAGE_REMOVE)
        return 0;
    const EntryRecord* r = GetEntry(FocusedListEntry(page));
    if (!r) {
        NoSelectionMessage(page, 60);
        return 1;
    }
    RemoveWatchedExtension(r->detail[0] == '.' ? r->detail + 1 : r->detail);
    RefillListPage(page);
    return 1;
}

static void Activate(HWND page)
{
    // The rows of one class stand together whenever the page is shown.
    SortListPageAscending(page, g_fileTypesPage, 3);
}

static constexpr ListPageDef FileTypesPage()
{
    ListPageDef page;
    page.commandId = PAGE_FILETYPES;
    SetTable(page.texts, {{IDC_FILETYPES_BANNER1, 740}, {IDC_FILETYPES_BANNER2, 741},
                          {IDC_PAGE_INFO, 301}, {IDC_PAGE_ADD, 311}, {IDC_PAGE_REMOVE, 302}});
    page.layout.bannerCount = SetTable(page.layout.banners, {IDC_FILETYPES_BANNER1,
                                                             IDC_FILETYPES_BANNER2});
    page.layout.slotCount = SetTable(page.layout.slots, {{IDC_PAGE_INFO}, {IDC_PAGE_ADD},
                                                         {IDC_PAGE_REMOVE}, {IDC_PAGE_CLOSE}});
    page.layout.hasMonitor = 1;
    page.columnCount = SetTable(page.columns, {{627, 0.30, COL_TEXT}, {628, 0.17, COL_TEXT},
                                               {699, 0.20, COL_COMPANY}, {747, 0.12, COL_TEXT},
                                               {748, 0.10, COL_TEXT}, {714, 0.09, COL_TEXT}});
    page.sortableColumns = 5;
    page.sortOption = "SortFileType";
    page.patrolCaption = 788;
    page.patrolOption = "FileType";
    page.patrolDefault = 10;
    page.realtimeOption = "RealtimeFileType";
    page.alwaysRefill = 1;
    page.fill = ListFileTypes;
    page.cell = Cell;
    page.iconSource = IconSource;
    page.menu = Menu;
    page.command = Command;
    page.activate = Activate;
    return page;
}
constexpr ListPageDef g_fileTypesPage = FileTypesPage();
