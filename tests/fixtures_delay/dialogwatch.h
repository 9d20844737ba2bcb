// Test helper: answers the next dialog or message box that the test's own thread opens.
// A watcher thread waits for a dialog window of the given thread, hands it to an action
// (which may read and set controls and must close it), and records what it saw.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <thread>

struct DialogWatch {
    std::thread worker;
    std::string caption;   // caption of the dialog that was answered
    std::string text;      // the static texts of the dialog, joined by "|"
    bool seen = false;

    static HWND FindDialog(DWORD threadId)
    {
        HWND found = nullptr;
        EnumThreadWindows(
            threadId,
            [](HWND window, LPARAM arg) -> BOOL {
                char cls[32] = "";
                GetClassNameA(window, cls, sizeof(cls));
                if (lstrcmpA(cls, "#32770") == 0 && IsWindowVisible(window)) {
                    *(HWND*)arg = window;
                    return FALSE;
                }
                return TRUE;
            },
            (LPARAM)&found);
        return found;
    }

    // Starts watching the calling thread; action runs on the watcher thread.
    void Start(std::function<void(HWND)> action)
    {
        DWORD threadId = GetCurrentThreadId();
        worker = std::thread([this, threadId, action] {
            for (int i = 0; i < 1000; i++) {
                HWND dialog = FindDialog(threadId);
                if (dialog) {
                    Sleep(50);   // let WM_INITDIALOG finish filling the controls
                    char buf[1024] = "";
                    GetWindowTextA(dialog, buf, sizeof(buf));
                    caption = buf;
                    EnumChildWindows(
                        dialog,
                        [](HWND child, LPARAM arg) -> BOOL {
                            char cls[32] = "", t[1024] = "";
                            GetClassNameA(child, cls, sizeof(cls));
                            if (lstrcmpiA(cls, "Static") == 0) {
                                SendMessageA(child, WM_GETTEXT, sizeof(t), (LPARAM)t);
                                if (t[0])
                                    *(std::string*)arg += std::string(t) + "|";
                            }
                            return TRUE;
                        },
                        (LPARAM)&text);
                    seen = true;
                    action(dialog);
                    return;
                }
                Sleep(10);
            }
        });
    }

    // Starts watching and presses one button of the dialog.
    void Press(int button)
    {
        Start([button](HWND dialog) { PostMessageA(dialog, WM_COMMAND, button, 0); });
    }

    void Wait()
    {
        if (worker.joinable())
            worker.join();
    }
    ~DialogWatch() { Wait(); }
};
