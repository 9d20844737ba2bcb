// Runs the test thread's messages until a condition holds: for windows that fill in what a
// worker thread posts back. Waits on the message queue, never for a fixed time.
#pragma once
#include <windows.h>
#include <functional>

// 1 when done() held before timeoutMs passed.
inline bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs = 20000)
{
    DWORD start = GetTickCount();
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        if (done())
            return true;
        DWORD spent = GetTickCount() - start;
        if (spent >= timeoutMs)
            return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, timeoutMs - spent, QS_ALLINPUT);
    }
}
