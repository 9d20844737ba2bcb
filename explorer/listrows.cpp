#include "listrows.h"
#include <commctrl.h>

const char kCallbackCell[] = "\x01";

void StartListRows(ListRows* rows, int columns)
{
    rows->columns = columns;
    rows->entries.clear();
    rows->texts.clear();
    rows->shown = 0;
}

void AddListRow(ListRows* rows, int entry, const char* const* texts)
{
    rows->entries.push_back(entry);
    for (int c = 0; c < rows->columns; c++)
        rows->texts.push_back(texts[c]);
}

void ForgetListRows(ListRows* shown) { shown->shown = 0; }

static bool SameRows(const ListRows& a, const ListRows& b)
{
    return a.columns == b.columns && a.entries == b.entries && a.texts == b.texts;
}

static const char* CellText(const std::string& text)
{
    return text == kCallbackCell ? LPSTR_TEXTCALLBACKA : text.c_str();
}

static void InsertRows(HWND list, const ListRows& rows)
{
    SendMessageA(list, LVM_DELETEALLITEMS, 0, 0);
    SendMessageA(list, LVM_SETITEMCOUNT, rows.entries.size(), 0);
    for (size_t i = 0; i < rows.entries.size(); i++) {
        const std::string* texts = &rows.texts[i * rows.columns];
        LVITEMA item = {};
        item.mask = LVIF_TEXT | LVIF_PARAM | LVIF_IMAGE;
        item.iItem = (int)i;
        item.pszText = (char*)CellText(texts[0]);
        item.lParam = rows.entries[i];
        item.iImage = I_IMAGECALLBACK;
        int row = (int)SendMessageA(list, LVM_INSERTITEMA, 0, (LPARAM)&item);
        for (int c = 1; c < rows.columns; c++) {
            LVITEMA cell = {};
            cell.iSubItem = c;
            cell.pszText = (char*)CellText(texts[c]);
            SendMessageA(list, LVM_SETITEMTEXTA, row, (LPARAM)&cell);
        }
    }
}

// Item data to insert position, for putting kept rows back in their insert order.
static const std::vector<int>* g_insertPosition;

static int CALLBACK ByInsertPosition(LPARAM first, LPARAM second, LPARAM)
{
    const std::vector<int>& position = *g_insertPosition;
    int a = first >= 0 && first < (LPARAM)position.size() ? position[first] : -1;
    int b = second >= 0 && second < (LPARAM)position.size() ? position[second] : -1;
    return a < b ? -1 : a > b;
}

// The kept rows as a fresh fill leaves them: insert order, nothing selected or focused, no
// selection mark, scrolled to the top left.
static void ResetRows(HWND list, const ListRows& rows)
{
    int largest = -1;
    for (int entry : rows.entries)
        largest = entry > largest ? entry : largest;
    std::vector<int> position(largest + 1, -1);
    for (size_t i = 0; i < rows.entries.size(); i++)
        position[rows.entries[i]] = (int)i;
    g_insertPosition = &position;
    SendMessageA(list, LVM_SORTITEMS, 0, (LPARAM)ByInsertPosition);
    g_insertPosition = nullptr;

    LVITEMA clear = {};
    clear.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageA(list, LVM_SETITEMSTATE, (WPARAM)-1, (LPARAM)&clear);
    SendMessageA(list, LVM_SETSELECTIONMARK, 0, -1);
    if (!rows.entries.empty())
        SendMessageA(list, LVM_ENSUREVISIBLE, 0, FALSE);
    int across = GetScrollPos(list, SB_HORZ);
    if (across > 0)
        SendMessageA(list, LVM_SCROLL, -across, 0);
    InvalidateRect(list, nullptr, TRUE);
}

int ShowListRows(HWND list, ListRows* rows, ListRows* shown)
{
    bool keep = shown->shown && SameRows(*rows, *shown) &&
                (int)SendMessageA(list, LVM_GETITEMCOUNT, 0, 0) == (int)rows->entries.size();
    if (keep) {
        ResetRows(list, *rows);
    } else {
        InsertRows(list, *rows);
    }
    std::swap(*shown, *rows);
    shown->shown = 1;
    return keep ? 1 : 0;
}
