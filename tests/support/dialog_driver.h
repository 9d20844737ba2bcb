// Drives a modal dialog or message box from a second thread while the test thread waits
// inside it: finds the window by caption, runs an action on it, and reports what it saw.
#pragma once
#include <windows.h>
#include <functional>
#include <string>
#include <thread>

class DialogDriver {
public:
    // action runs on the driver thread once a top-level "#32770" window with the caption shows.
    DialogDriver(std::string caption, std::function<void(HWND)> action)
        : caption_(std::move(caption)), action_(std::move(action)),
          thread_([this] { Run(); })
    {
    }
    ~DialogDriver() { Join(); }
    void Join()
    {
        if (thread_.joinable())
            thread_.join();
    }
    bool Found() const { return found_; }

private:
    void Run()
    {
        for (int i = 0; i < 200; i++) {
            HWND window = FindWindowA("#32770", caption_.c_str());
            if (window && IsWindowVisible(window)) {
                found_ = true;
                action_(window);
                return;
            }
            Sleep(25);
        }
    }

    std::string caption_;
    std::function<void(HWND)> action_;
    bool found_ = false;
    std::thread thread_;
};

inline std::string WindowText(HWND window)
{
    char text[1024] = "";
    SendMessageA(window, WM_GETTEXT, sizeof(text), (LPARAM)text);
    return text;
}
