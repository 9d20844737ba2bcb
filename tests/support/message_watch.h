// Answers the questions an in-process page asks: watches the test thread for a message box
// or dialog other than the sheet itself and presses a button on it.
#pragma once
#include <windows.h>
#include <atomic>
#include <string>
#include <thread>
#include "dialog_driver.h"

// Watches the test thread for a message box or dialog other than the sheet itself. With
// answer set it presses that button on the first one and stops; without, it only stops when
// told (and presses No on anything that shows, so that a wrong question cannot hang the test).
class MessageWatch {
public:
    MessageWatch(HWND sheet, int answer)
        : thread_(GetCurrentThreadId()), sheet_(sheet), answer_(answer),
          worker_([this] { Run(); })
    {
    }
    ~MessageWatch() { Stop(); }
    // Ends the watch; 1 when a window was answered.
    bool Stop()
    {
        stop_ = true;
        if (worker_.joinable())
            worker_.join();
        return seen_;
    }
    void Wait()
    {
        if (worker_.joinable())
            worker_.join();
    }
    std::string caption, text;

private:
    struct Search {
        HWND skip, found;
    };
    void Run()
    {
        for (int i = 0; i < 1500 && !stop_; i++) {
            Search search = {sheet_, nullptr};
            EnumThreadWindows(
                thread_,
                [](HWND window, LPARAM arg) -> BOOL {
                    Search* s = (Search*)arg;
                    char cls[32] = "";
                    GetClassNameA(window, cls, sizeof(cls));
                    if (window != s->skip && !lstrcmpA(cls, "#32770") && IsWindowVisible(window)) {
                        s->found = window;
                        return FALSE;
                    }
                    return TRUE;
                },
                (LPARAM)&search);
            if (search.found) {
                Sleep(50);
                caption = WindowText(search.found);
                EnumChildWindows(
                    search.found,
                    [](HWND child, LPARAM arg) -> BOOL {
                        char cls[32] = "";
                        GetClassNameA(child, cls, sizeof(cls));
                        if (!lstrcmpiA(cls, "Static"))
                            *(std::string*)arg += WindowText(child) + "|";
                        return TRUE;
                    },
                    (LPARAM)&text);
                seen_ = true;
                PostMessageA(search.found, WM_COMMAND, answer_ ? answer_ : IDNO, 0);
                if (answer_)
                    return;
            }
            Sleep(10);
        }
    }
    DWORD thread_;
    HWND sheet_;
    int answer_;
    std::atomic<bool> stop_{false}, seen_{false};
    std::thread worker_;
};

