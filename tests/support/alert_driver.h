// Test helper: answers the monitor's alert dialogs in-process. A thread timer fires inside
// the dialog's own modal loop; each step waits for a visible dialog of this thread whose
// caption matches and acts on it (reads controls, presses a button, sends Esc). A dialog
// still open a few seconds after the last step is ended with -2 so that a broken step cannot
// hang the suite.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <vector>

struct AlertStep {
    std::string caption;   // empty: any dialog
    std::function<void(HWND)> action;
};

namespace alertdriver {
inline std::vector<AlertStep> g_steps;
inline size_t g_next;
inline DWORD g_started;
inline bool g_timedOut;

inline HWND FindDialog(const std::string& caption)
{
    struct Search {
        const std::string* caption;
        HWND found;
    } search{&caption, nullptr};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM arg) -> BOOL {
            auto* s = (Search*)arg;
            char cls[32] = "", text[256] = "";
            GetClassNameA(window, cls, sizeof(cls));
            GetWindowTextA(window, text, sizeof(text));
            if (lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(window) &&
                (s->caption->empty() || *s->caption == text)) {
                s->found = window;
                return FALSE;
            }
            return TRUE;
        },
        (LPARAM)&search);
    return search.found;
}

inline void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD)
{
    if (g_next < g_steps.size()) {
        HWND dialog = FindDialog(g_steps[g_next].caption);
        if (dialog) {
            auto action = g_steps[g_next].action;
            g_next++;
            g_started = GetTickCount();
            action(dialog);
            return;
        }
    }
    if (GetTickCount() - g_started > 8000) {
        g_timedOut = true;
        HWND stuck = FindDialog("");
        if (stuck)
            EndDialog(stuck, -2);
    }
}
}  // namespace alertdriver

// Runs open() (which shows one or more dialogs) while the steps answer them.
inline INT_PTR DriveAlerts(std::vector<AlertStep> steps, const std::function<INT_PTR()>& open)
{
    alertdriver::g_steps = std::move(steps);
    alertdriver::g_next = 0;
    alertdriver::g_started = GetTickCount();
    alertdriver::g_timedOut = false;
    UINT_PTR timer = SetTimer(nullptr, 0, 20, alertdriver::Tick);
    INT_PTR result = open();
    KillTimer(nullptr, timer);
    return result;
}

inline bool AllStepsRan() { return alertdriver::g_next == alertdriver::g_steps.size(); }
inline bool DriverTimedOut() { return alertdriver::g_timedOut; }

// Actions.
inline void Press(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), (LPARAM)GetDlgItem(dialog, id));
}
inline void PressEsc(HWND dialog)
{
    PostMessageA(dialog, WM_KEYDOWN, VK_ESCAPE, 0);
    PostMessageA(dialog, WM_KEYUP, VK_ESCAPE, 0);
}
inline std::string ItemText(HWND dialog, int id)
{
    char text[2048] = "\xbd";
    if (!GetDlgItemTextA(dialog, id, text, sizeof(text)) && !GetDlgItem(dialog, id))
        return "<no control>";
    return text;
}
inline std::string WindowText(HWND window)
{
    char text[512] = "";
    GetWindowTextA(window, text, sizeof(text));
    return text;
}
