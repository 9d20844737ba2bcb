#include "policyui.h"
#include "resstring.h"
#include <commctrl.h>

static const char kTooltipProp[] = "KxManagedTips";
// The tooltip's text, string 1170.
static const UINT MANAGED_TEXT = 1170;

HWND ManagedTooltip(HWND dialog) { return (HWND)GetPropA(dialog, kTooltipProp); }

// One tooltip per dialog, owned by it so that it goes when the dialog goes.
static HWND TooltipOf(HWND dialog)
{
    HWND tips = ManagedTooltip(dialog);
    if (tips && IsWindow(tips))
        return tips;
    tips = CreateWindowExA(WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP,
                           CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, dialog,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
    if (tips)
        SetPropA(dialog, kTooltipProp, tips);
    return tips;
}

int ShowManaged(HWND dialog, int controlId, int managed)
{
    HWND control = GetDlgItem(dialog, controlId);
    if (!control)
        return 0;
    EnableWindow(control, !managed);
    HWND tips = managed ? TooltipOf(dialog) : ManagedTooltip(dialog);
    if (!tips)
        return managed;
    TOOLINFOA tool = {};
    tool.cbSize = sizeof(tool);
    tool.hwnd = dialog;
    tool.uId = (UINT_PTR)controlId;
    SendMessageA(tips, TTM_DELTOOLA, 0, (LPARAM)&tool);
    if (!managed)
        return 0;
    static char text[256];
    if (!text[0] && !LoadResString(MANAGED_TEXT, text, sizeof(text)))
        lstrcpynA(text, "Managed by your administrator", sizeof(text));
    tool.uFlags = TTF_SUBCLASS;
    tool.lpszText = text;
    GetWindowRect(control, &tool.rect);
    MapWindowPoints(nullptr, dialog, (POINT*)&tool.rect, 2);
    SendMessageA(tips, TTM_ADDTOOLA, 0, (LPARAM)&tool);
    return 1;
}
