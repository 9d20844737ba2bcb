#include "waits.h"
#include "kxtest.h"
#include <psapi.h>
#include <algorithm>

bool WaitUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start >= timeoutMs)
            return false;
        Sleep(20);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
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

bool WaitForTrace(const std::string& traceFile, const std::string& text, DWORD timeoutMs)
{
    return WaitUntil([&] { return ReadTextFile(traceFile).find(text) != std::string::npos; },
                     timeoutMs);
}

HWND WaitForThreadDialog(DWORD thread, HWND skip, HWND owner, DWORD timeoutMs)
{
    struct Search {
        HWND skip, owner, found;
    } search = {skip, owner, nullptr};
    WaitUntil(
        [&] {
            EnumThreadWindows(
                thread,
                [](HWND window, LPARAM arg) -> BOOL {
                    Search* s = (Search*)arg;
                    char cls[32] = "";
                    GetClassNameA(window, cls, sizeof(cls));
                    if (window != s->skip && !lstrcmpA(cls, "#32770") && IsWindowVisible(window) &&
                        (!s->owner || GetWindow(window, GW_OWNER) == s->owner)) {
                        s->found = window;
                        return FALSE;
                    }
                    return TRUE;
                },
                (LPARAM)&search);
            return search.found != nullptr;
        },
        timeoutMs);
    return search.found;
}

namespace {

std::string Upper(std::string text)
{
    if (!text.empty())
        CharUpperA(&text[0]);
    return text;
}

// Processes under folder, each with a handle that can be waited on.
std::vector<std::pair<DWORD, HANDLE>> OpenProcessesUnder(const std::string& folder)
{
    std::vector<std::pair<DWORD, HANDLE>> found;
    std::vector<DWORD> ids(4096);
    DWORD bytes = 0;
    if (!EnumProcesses(ids.data(), (DWORD)(ids.size() * sizeof(DWORD)), &bytes))
        return found;
    std::string prefix = Upper(folder) + "\\";
    for (DWORD i = 0; i < bytes / sizeof(DWORD); i++) {
        HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION | SYNCHRONIZE, FALSE, ids[i]);
        if (!process)
            continue;
        char path[MAX_PATH * 2] = "";
        DWORD size = sizeof(path);
        if (QueryFullProcessImageNameA(process, 0, path, &size) &&
            Upper(path).compare(0, prefix.size(), prefix) == 0)
            found.emplace_back(ids[i], process);
        else
            CloseHandle(process);
    }
    return found;
}

}   // namespace

std::vector<DWORD> ProcessesUnder(const std::string& folder)
{
    std::vector<DWORD> ids;
    for (auto& p : OpenProcessesUnder(folder)) {
        ids.push_back(p.first);
        CloseHandle(p.second);
    }
    return ids;
}

bool WaitForProcessesUnderToEnd(const std::string& folder, const std::vector<DWORD>& keep,
                                DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    bool ended = true;
    for (auto& p : OpenProcessesUnder(folder)) {
        if (std::find(keep.begin(), keep.end(), p.first) == keep.end()) {
            DWORD spent = GetTickCount() - start;
            DWORD left = spent >= timeoutMs ? 0 : timeoutMs - spent;
            ended = WaitForSingleObject(p.second, left) == WAIT_OBJECT_0 && ended;
        }
        CloseHandle(p.second);
    }
    return ended;
}

bool StartTestProgram(const std::string& commandLine, PROCESS_INFORMATION* started,
                      const char* folder, STARTUPINFOA* startup, BOOL inheritHandles)
{
    STARTUPINFOA plain = {};
    plain.cb = sizeof(plain);
    DWORD error = 0;
    for (int attempt = 0; attempt < 2; attempt++) {
        std::vector<char> line(commandLine.begin(), commandLine.end());
        line.push_back(0);
        *started = {};
        if (CreateProcessA(nullptr, line.data(), nullptr, nullptr, inheritHandles, 0, nullptr,
                           folder, startup ? startup : &plain, started))
            return true;
        error = GetLastError();
    }
    ADD_FAILURE() << "cannot start " << commandLine << " (error " << error << ")";
    return false;
}
