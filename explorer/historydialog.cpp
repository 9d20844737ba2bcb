#include "historydialog.h"
#include "elevate.h"
#include "writefault.h"
#include "refusal.h"
#include "dialogs_options.h"
#include "entrylist.h"
#include "history.h"
#include "options.h"
#include "pathutil.h"
#include "resstring.h"
#include "undo.h"
#include <commctrl.h>
#include <shellapi.h>
#include <cstdio>
#include <cstring>

static const int COLUMN_COUNT = 4;
static int g_historySortFlags[COLUMN_COUNT];

static int SelectedEntry(HWND list)
{
    int row = (int)SendMessageA(list, LVM_GETNEXTITEM, -1, LVNI_SELECTED);
    if (row < 0)
        return -1;
    LVITEMA item = {};
    item.mask = LVIF_PARAM;
    item.iItem = row;
    if (!SendMessageA(list, LVM_GETITEMA, 0, (LPARAM)&item))
        return -1;
    return (int)item.lParam;
}

static void UpdateRestore(HWND dialog)
{
    int index = SelectedEntry(GetDlgItem(dialog, IDC_HISTORY_LIST));
    EnableWindow(GetDlgItem(dialog, IDC_HISTORY_RESTORE),
                 index >= 0 && IsHistoryEventReversible(index));
}

// The newest events are at the end of the file: they are the ones shown first.
static void ScrollToEnd(HWND list)
{
    int count = (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0);
    SendMessageA(list, LVM_SCROLL, 0, count * 16);
}

// The small icon of the command's program in the list's small image list; I_IMAGENONE
// when the list has no image list or the program offers no icon.
static int RowIcon(HWND list, const char* command)
{
    HIMAGELIST images = (HIMAGELIST)SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0);
    if (!images || !command[0])
        return I_IMAGENONE;
    char program[260];
    GetProgramFile(command, program);
    if (!FileExists(program, sizeof(program)))
        return I_IMAGENONE;
    HICON small = nullptr;
    if (ExtractIconExA(program, 0, nullptr, &small, 1) == 0 || !small)
        return I_IMAGENONE;
    int image = ImageList_AddIcon(images, small);
    DestroyIcon(small);
    return image < 0 ? I_IMAGENONE : image;
}

static void AddListRow(HWND list, int index)
{
    const EntryRecord* e = GetEntry(index);
    if (!e)
        return;
    LVITEMA item = {};
    item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
    item.iImage = RowIcon(list, e->command);
    item.iItem = index;
    item.pszText = const_cast<char*>(e->title);
    item.lParam = index;
    int row = (int)SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
    if (row < 0)
        return;
    const char* columns[3] = {ActionName(e->tag), TypeName(e->type), e->detail};
    for (int c = 0; c < 3; c++) {
        LVITEMA sub = {};
        sub.iSubItem = c + 1;
        sub.pszText = const_cast<char*>(columns[c]);
        SendMessageA(list, LVM_SETITEMTEXTA, row, (LPARAM)&sub);
    }
}

// Runs read (which reads the history into the entry list), then shows the entries in list.
static int ReadIntoList(HWND list, int (*read)())
{
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
    int count = read();
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    // The small image list holds the row icons of this list only.
    HIMAGELIST images = (HIMAGELIST)SendMessageA(list, LVM_GETIMAGELIST, LVSIL_SMALL, 0);
    if (images)
        ImageList_RemoveAll(images);
    for (int i = 0; i < EntryCount(); i++)
        AddListRow(list, i);
    SetCursor(LoadCursor(nullptr, IDC_ARROW));
    return count;
}

int FillHistoryList(HWND list) { return ReadIntoList(list, ReadHistory); }

static void Refill(HWND dialog, int (*read)())
{
    HWND list = GetDlgItem(dialog, IDC_HISTORY_LIST);
    ReadIntoList(list, read);
    ScrollToEnd(list);
    UpdateRestore(dialog);
}

// "MM/DD/YYYY  h:mm AM" as YYYYMMDDHHMM, so that times sort in the order they happened; a
// time that does not read so ("Never", a broken line) sorts first.
static void TimeKey(const char* time, char* out, int capacity)
{
    unsigned month = 0, day = 0, year = 0, hour = 0, minute = 0;
    char half[3] = "";
    if (sscanf(time, "%2u/%2u/%4u %2u:%2u %2s", &month, &day, &year, &hour, &minute, half) != 6) {
        out[0] = 0;
        return;
    }
    hour %= 12;
    if (!lstrcmpiA(half, "PM"))
        hour += 12;
    snprintf(out, capacity, "%04u%02u%02u%02u%02u", year, month, day, hour, minute);
}

static void SortKey(int index, int column, char* out, int capacity)
{
    const EntryRecord* e = GetEntry(index);
    out[0] = 0;
    if (!e)
        return;
    switch (column) {
    case 0: lstrcpynA(out, e->title, capacity); break;
    case 1: lstrcpynA(out, ActionName(e->tag), capacity); break;
    case 2: lstrcpynA(out, TypeName(e->type), capacity); break;
    case 3: TimeKey(e->detail, out, capacity); break;
    }
}

// Column + COLUMN_COUNT when descending; items are entry indexes.
static int CALLBACK CompareRows(LPARAM first, LPARAM second, LPARAM sortParam)
{
    int column = (int)sortParam % COLUMN_COUNT, descending = (int)sortParam / COLUMN_COUNT;
    char a[300], b[300];
    SortKey((int)first, column, a, sizeof(a));
    SortKey((int)second, column, b, sizeof(b));
    int result = lstrcmpiA(a, b);
    if (result == 0)
        result = (int)first - (int)second;
    return descending ? -result : result;
}

void SortHistoryList(HWND list, int column)
{
    if (column < 0 || column >= COLUMN_COUNT)
        return;
    SendMessageA(list, LVM_SORTITEMS, column + COLUMN_COUNT * g_historySortFlags[column],
                 (LPARAM)CompareRows);
    g_historySortFlags[column] ^= 1;
    SetOption("SortHistory", column + 1);
}

// The elevated verb that reverses an event, 0 for none.
static int UndoVerb(const EntryRecord& event)
{
    switch (event.tag) {
    case ACT_START_REMOVE: return ELEVATED_RESTORE_ENTRY;
    case ACT_START_DISABLE:
    case ACT_START_ENABLE: return ELEVATED_TOGGLE;
    case ACT_IEHELPER_REMOVE: return ELEVATED_REREGISTER;
    case ACT_HIDDEN_DELETEFILE: return ELEVATED_HIDDEN_RESTORE;
    }
    return 0;
}

static void Restore(HWND dialog, int checkReversible)
{
    HWND list = GetDlgItem(dialog, IDC_HISTORY_LIST);
    int index = SelectedEntry(list);
    if (index < 0 || (checkReversible && !IsHistoryEventReversible(index)))
        return;
    const EntryRecord* e = GetEntry(index);
    if (e && UndoVerb(*e) && NeedsElevationFor(UndoVerb(*e), *e)) {
        // The machine's own entries go back through the elevated copy, which tells its
        // own failure and writes its own history line.
        EntryRecord event = *e;
        RunElevated(dialog, UndoVerb(event), event);
        ReadHistory();
        Refill(dialog, EntryCount);
        return;
    }
    ClearWriteRefusal();
    int restored = RestoreHistoryEvent(index);
    if (!restored)
        NoteActionFailure();
    // The history was read again: the rows show it.
    Refill(dialog, EntryCount);
    if (!restored)
        TellRefusal(dialog);
}

static void CenterOnScreen(HWND dialog)
{
    RECT r;
    GetWindowRect(dialog, &r);
    int width = r.right - r.left, height = r.bottom - r.top;
    SetWindowPos(dialog, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                 (GetSystemMetrics(SM_CYSCREEN) - height) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

static void Init(HWND dialog)
{
    char caption[128];
    if (LoadResString(712, caption, sizeof(caption)))
        SetWindowTextA(dialog, caption);
    SetDlgItemResString(dialog, IDC_HISTORY_TEXT, 710);
    SetDlgItemResString(dialog, IDC_HISTORY_RESTORE, 717);
    SetDlgItemResString(dialog, IDC_HISTORY_CLEAR, 711);
    SetDlgItemResString(dialog, IDOK, 304);

    HWND list = GetDlgItem(dialog, IDC_HISTORY_LIST);
    RECT r;
    GetWindowRect(list, &r);
    int width = r.right - r.left - GetSystemMetrics(SM_CXVSCROLL);
    static const struct {
        UINT text;
        double share;
    } kColumns[COLUMN_COUNT] = {{627, 0.35}, {715, 0.22}, {628, 0.22}, {713, 0.38}};
    for (int i = 0; i < COLUMN_COUNT; i++) {
        char title[64] = "";
        LoadResString(kColumns[i].text, title, sizeof(title));
        LVCOLUMNA column = {};
        column.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.fmt = LVCFMT_LEFT;
        column.cx = (int)(width * kColumns[i].share);
        column.pszText = title;
        column.iSubItem = i;
        SendMessageA(list, LVM_INSERTCOLUMNA, i, (LPARAM)&column);
    }
    SendMessageA(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
    // The reader puts each event's program icon into this list.
    HIMAGELIST images = ImageList_Create(GetSystemMetrics(SM_CXSMICON),
                                         GetSystemMetrics(SM_CYSMICON), ILC_COLOR32 | ILC_MASK,
                                         16, 16);
    SendMessageA(list, LVM_SETIMAGELIST, LVSIL_SMALL, (LPARAM)images);
    EnableWindow(GetDlgItem(dialog, IDC_HISTORY_RESTORE), FALSE);
    CenterOnScreen(dialog);
    Refill(dialog, ReadHistory);
}

static void ContextMenu(HWND dialog)
{
    HMENU menu = CreatePopupMenu();
    static const struct {
        int command;
        UINT text;
    } kItems[] = {{IDC_HISTORY_RESTORE, 717}, {IDC_HISTORY_CLEAR, 711}, {IDOK, 304}};
    for (const auto& item : kItems) {
        char text[64] = "";
        LoadResString(item.text, text, sizeof(text));
        AppendMenuA(menu, MF_STRING, item.command, text);
    }
    POINT pt;
    GetCursorPos(&pt);
    TrackPopupMenuEx(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, pt.x, pt.y, dialog, nullptr);
    DestroyMenu(menu);
}

static INT_PTR Notify(HWND dialog, const NMHDR* header)
{
    if (header->idFrom != IDC_HISTORY_LIST)
        return FALSE;
    switch (header->code) {
    case LVN_COLUMNCLICK:
        SortHistoryList(header->hwndFrom, ((const NMLISTVIEW*)header)->iSubItem);
        return TRUE;
    case LVN_ITEMCHANGED:
    case NM_CLICK:
    case NM_CHAR:
        UpdateRestore(dialog);
        return TRUE;
    case NM_RCLICK:
        if (((const NMITEMACTIVATE*)header)->iItem >= 0)
            ContextMenu(dialog);
        return TRUE;
    case NM_DBLCLK:
        Restore(dialog, 0);
        return TRUE;
    }
    return FALSE;
}

static INT_PTR CALLBACK HistoryProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        Init(dialog);
        return TRUE;
    case WM_NOTIFY:
        return Notify(dialog, (const NMHDR*)lParam);
    case WM_COMMAND:
        switch (LOWORD(wParam)) {
        case IDOK:
        case IDCANCEL:
            EndDialog(dialog, 1);
            return TRUE;
        case IDC_HISTORY_RESTORE:
            Restore(dialog, 1);
            return TRUE;
        case IDC_HISTORY_CLEAR:
            Refill(dialog, ClearHistory);
            return TRUE;
        }
        break;
    case WM_DESTROY: {
        HIMAGELIST images = (HIMAGELIST)SendDlgItemMessageA(dialog, IDC_HISTORY_LIST,
                                                            LVM_SETIMAGELIST, LVSIL_SMALL, 0);
        if (images)
            ImageList_Destroy(images);
        ClearEntries();
        break;
    }
    }
    return FALSE;
}

INT_PTR ShowHistoryDialog(HWND owner)
{
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_HISTORY), owner,
                           HistoryProc, 0);
}
